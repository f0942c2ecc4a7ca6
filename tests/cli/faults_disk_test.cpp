// The tavro program against failing disks and folders it may not write: a full
// device, a full file system, a read-only target. Each run must report the failure
// in the user's words, keep what was written before it, write nothing outside its
// target, and never replace an existing archive with a broken one.
//
// A full file system and a read-only folder that stops root as well need a private
// mount namespace (unshare); where the system refuses one, those tests are skipped.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "cli/runtavro.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

// A 32-bit .k of 2 x 2 pixels whose colours follow `seed`.
Bytes K32(std::uint8_t seed) {
    Bytes pixels;
    for (std::uint32_t i = 0; i < 4; ++i) AppendU32(pixels, 0xFF000000u | (seed * 0x010203u + i));
    return KFile(2, 2, 32, 8, pixels);
}

TEST(CliFaults, FullDeviceStopsUnpackAndPack) {
    TempDir dir;
    WriteBytes(dir / "in.ezx", BuildArchive(HeaderText(40), {{"a.k", K32(1), 11}, {"b.k", K32(2), 12},
                                                             {"c.k", K32(3), 13}, {"d.k", K32(4), 14}}));
    const std::string target = dir / "out/";
    std::filesystem::create_directories(target + "raws");
    std::filesystem::create_symlink("/dev/full", target + "raws/c.k");  // the third raw copy
    RunResult r = RunTavro({"unpack", dir / "in.ezx", target});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "raws/c.k: Disk full"));
    // The entry before it is complete; nothing after it was begun, nothing outside the target.
    EXPECT_EQ(ReadBytes(target + "raws/b.k"), K32(2));
    EXPECT_EQ(FolderNames(target + "raws"), (std::vector<std::string>{"a.k", "b.k", "c.k"}));
    EXPECT_EQ(ReadText(target + "iconres.dat"), "");  // made before the entries, written after them
    EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"in.ezx", "out"}));

    ASSERT_EQ(RunTavro({"unpack", SampleArchive(), dir / "folder"}).exitCode, 0);
    r = RunTavro({"pack", dir / "folder", "/dev/full"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "/dev/full: Disk full"));
}

TEST(CliFaults, FullFileSystemReportsDiskFullAndKeepsTheExistingArchive) {
    TempDir dir;
    ASSERT_EQ(RunTavro({"unpack", SampleArchive(), dir / "folder"}).exitCode, 0);
    std::filesystem::create_directory(dir / "mnt");
    // Room for the old archive but not for a second, complete one beside it.
    const std::uint64_t size = std::filesystem::file_size(SampleArchive());
    const std::string script = "mount -t tmpfs -o size=" + std::to_string((size + size / 2) / 1024) +
                               "k tavro-full \"$1\" || exit 99\n"
                               "cp \"$2\" \"$1/iconres.ezx\"\n"
                               "\"$TAVRO\" pack \"$3\" \"$1/iconres.ezx\" 2>\"$4.err\"; rc=$?\n"
                               "cp \"$1/iconres.ezx\" \"$4.after\"; ls -A \"$1\" >\"$4.list\"\n"
                               "\"$TAVRO\" unpack \"$2\" \"$1/unpacked\" 2>\"$4.unpack-err\"\n"
                               "echo $? >\"$4.unpack-rc\"\n"
                               "exit $rc\n";
    const int rc = RunInMountNamespace(script, {dir / "mnt", SampleArchive(), dir / "folder", dir / "run"});
    if (rc == kNoMount) GTEST_SKIP() << "no private mount namespace here for a small full file system";
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(Contains(ReadText(dir / "run.err"), "Disk full"));
    EXPECT_EQ(ReadBytes(dir / "run.after"), ReadBytes(SampleArchive()));
    EXPECT_EQ(ReadText(dir / "run.list"), "iconres.ezx\n");  // no half-written temporary left
    EXPECT_EQ(ReadText(dir / "run.unpack-rc"), "1\n");
    EXPECT_TRUE(Contains(ReadText(dir / "run.unpack-err"), "Disk full"));
}

TEST(CliFaults, ReadOnlyTargetReportsAccessDenied) {
    TempDir dir;
    ASSERT_EQ(RunTavro({"unpack", SampleArchive(), dir / "folder"}).exitCode, 0);
    std::filesystem::create_directory(dir / "ro");
    WriteText(dir / "ro/iconres.ezx", "old archive");
    if (::geteuid() != 0) {
        ::chmod((dir / "ro").c_str(), 0555);
        // A new archive cannot be made there (an existing writable one is overwritten in place).
        for (const std::vector<std::string>& args : {std::vector<std::string>{"unpack", SampleArchive(), dir / "ro"},
                                                     {"pack", dir / "folder", dir / "ro/new.ezx"}}) {
            RunResult r = RunTavro(args);
            EXPECT_EQ(r.exitCode, 1) << args[0];
            EXPECT_TRUE(Contains(r.err, "File access denied"));
        }
        ::chmod((dir / "ro").c_str(), 0755);
    } else {
        // Permission bits do not stop root; a read-only mount does.
        const std::string script =
            "mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" || exit 99\n"
            "\"$TAVRO\" unpack \"$2\" \"$1\" 2>\"$4.unpack-err\"; echo $? >\"$4.unpack-rc\"\n"
            "\"$TAVRO\" pack \"$3\" \"$1/iconres.ezx\" 2>\"$4.pack-err\"; echo $? >\"$4.pack-rc\"\n";
        const int rc = RunInMountNamespace(script, {dir / "ro", SampleArchive(), dir / "folder", dir / "run"});
        if (rc == kNoMount) GTEST_SKIP() << "running as root without a private mount namespace";
        for (const char* run : {"unpack", "pack"}) {
            EXPECT_EQ(ReadText(dir / "run." + run + "-rc"), "1\n") << run;
            EXPECT_TRUE(Contains(ReadText(dir / "run." + run + "-err"), "File access denied"));
        }
    }
    EXPECT_EQ(FolderNames(dir / "ro"), std::vector<std::string>{"iconres.ezx"});
    EXPECT_EQ(ReadText(dir / "ro/iconres.ezx"), "old archive");
}

}  // namespace
}  // namespace tavro::test
