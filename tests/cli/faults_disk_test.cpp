// The tavro program against failing disks and folders it may not write: a full
// device, a full file system, a read-only target. Each run must report the failure
// in the user's words, keep what was written before it, write nothing outside its
// target, and never replace an existing archive with a broken one.
//
// A full file system and a read-only folder that stops root as well need a private
// mount namespace (unshare); where the system refuses one, those tests are skipped.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>

#include "archive/archive_fixture.h"
#include "cli/runtavro.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

namespace fs = std::filesystem;

::testing::AssertionResult Contains(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\" does not contain \"" << part << "\"";
}

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// A 32-bit .k picture of 2 x 2 pixels whose colours follow `seed`.
Bytes K32(std::uint8_t seed) {
    Bytes k;
    for (std::uint32_t v : {2u, 2u, 32u, 8u}) AppendU32(k, v);  // width, height, depth, stride
    for (std::uint32_t i = 0; i < 4; ++i) AppendU32(k, 0xFF000000u | (seed * 0x010203u + i));
    return k;
}

std::string Text(const std::string& path) {
    const Bytes b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

// Four slots a.k to d.k, extracted in that order.
Bytes FourPictureArchive() {
    return BuildArchive(HeaderText(40), {{"a.k", K32(1), 11}, {"b.k", K32(2), 12}, {"c.k", K32(3), 13},
                                         {"d.k", K32(4), 14}});
}

TEST(CliFaults, UnpackStoppedByAFullDeviceKeepsWhatItWroteAndNothingElse) {
    TempDir dir;
    WriteBytes(dir / "in.ezx", FourPictureArchive());
    const std::string target = dir / "out/";
    fs::create_directories(target + "raws");
    // The third entry's raw copy lands on a device that is always full.
    fs::create_symlink("/dev/full", target + "raws/c.k");

    RunResult r = RunTavro({"unpack", dir / "in.ezx", target});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "Disk full"));
    EXPECT_TRUE(Contains(r.err, "c.k"));

    // The entries before it are complete; nothing after it was begun.
    EXPECT_EQ(ReadBytes(target + "raws/a.k"), K32(1));
    EXPECT_EQ(ReadBytes(target + "raws/b.k"), K32(2));
    EXPECT_FALSE(Exists(target + "raws/d.k"));
    EXPECT_EQ(Names(target + "icons"), (std::set<std::string>{"a.bmp", "b.bmp"}));
    EXPECT_EQ(ReadBytes(target + "iconres.hdr").size(), FourPictureArchive().size());
    // Created before the entries and written only at the end: present and empty.
    EXPECT_TRUE(ReadBytes(target + "iconres.dat").empty());
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"in.ezx", "out"}));
    EXPECT_EQ(Names(target), (std::set<std::string>{"iconres.hdr", "iconres.dat", "raws", "icons"}));
}

TEST(CliFaults, PackToAFullDeviceReportsDiskFull) {
    TempDir dir;
    ASSERT_EQ(RunTavro({"unpack", SampleArchive(), dir / "folder"}).exitCode, 0);
    RunResult r = RunTavro({"pack", dir / "folder", "/dev/full"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "Disk full"));
    EXPECT_TRUE(Contains(r.err, "/dev/full"));
}

TEST(CliFaults, FullFileSystemReportsDiskFullAndKeepsTheExistingArchive) {
    TempDir dir;
    ASSERT_EQ(RunTavro({"unpack", SampleArchive(), dir / "folder"}).exitCode, 0);
    fs::create_directory(dir / "mnt");
    const std::uint64_t archiveSize = fs::file_size(SampleArchive());

    // Room for the old archive but not for a second, complete one beside it.
    const std::string script =
        "mount -t tmpfs -o size=" + std::to_string((archiveSize + archiveSize / 2) / 1024) +
        "k tavro-full \"$1\" || exit 99\n"
        "cp \"$2\" \"$1/iconres.ezx\"\n"
        "\"$TAVRO\" pack \"$3\" \"$1/iconres.ezx\" >\"$4.out\" 2>\"$4.err\"; rc=$?\n"
        "cp \"$1/iconres.ezx\" \"$4.after\"; ls -A \"$1\" >\"$4.list\"\n"
        "\"$TAVRO\" unpack \"$2\" \"$1/unpacked\" 2>\"$4.unpack-err\"; echo $? >\"$4.unpack-rc\"\n"
        "exit $rc\n";
    const int rc = RunInMountNamespace(script, {dir / "mnt", SampleArchive(), dir / "folder", dir / "run"});
    if (rc == -2 || rc == kNoMount) GTEST_SKIP() << "no private mount namespace here for a small full file system";
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(Contains(Text(dir / "run.err"), "Disk full"));
    EXPECT_EQ(ReadBytes(dir / "run.after"), ReadBytes(SampleArchive()));
    EXPECT_EQ(Text(dir / "run.list"), "iconres.ezx\n");  // no half-written temporary left

    // Unpacking into the same full file system stops with the same report.
    EXPECT_EQ(Text(dir / "run.unpack-rc"), "1\n");
    EXPECT_TRUE(Contains(Text(dir / "run.unpack-err"), "Disk full"));
}

TEST(CliFaults, ReadOnlyTargetReportsAccessDenied) {
    TempDir dir;
    ASSERT_EQ(RunTavro({"unpack", SampleArchive(), dir / "folder"}).exitCode, 0);
    fs::create_directory(dir / "ro");
    WriteBytes(dir / "ro/iconres.ezx", ToBytes("old archive"));

    if (::geteuid() != 0) {
        ::chmod((dir / "ro").c_str(), 0555);
        RunResult unpack = RunTavro({"unpack", SampleArchive(), dir / "ro"});
        EXPECT_EQ(unpack.exitCode, 1);
        EXPECT_TRUE(Contains(unpack.err, "File access denied"));
        // A new archive cannot be made in it (an existing writable one would be
        // overwritten in place).
        RunResult pack = RunTavro({"pack", dir / "folder", dir / "ro/new.ezx"});
        EXPECT_EQ(pack.exitCode, 1);
        EXPECT_TRUE(Contains(pack.err, "File access denied"));
        ::chmod((dir / "ro").c_str(), 0755);
        EXPECT_EQ(Text(dir / "ro/iconres.ezx"), "old archive");
        EXPECT_EQ(Names(dir / "ro"), (std::set<std::string>{"iconres.ezx"}));
        return;
    }
    // Permission bits do not stop root; a read-only mount does.
    const std::string script =
        "mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" || exit 99\n"
        "\"$TAVRO\" unpack \"$2\" \"$1\" 2>\"$4.unpack-err\"; echo $? >\"$4.unpack-rc\"\n"
        "\"$TAVRO\" pack \"$3\" \"$1/iconres.ezx\" 2>\"$4.pack-err\"; echo $? >\"$4.pack-rc\"\n";
    const int rc = RunInMountNamespace(script, {dir / "ro", SampleArchive(), dir / "folder", dir / "run"});
    if (rc == -2 || rc == kNoMount) GTEST_SKIP() << "running as root without a private mount namespace: "
                                                    "no folder here is read-only to this process";
    EXPECT_EQ(Text(dir / "run.unpack-rc"), "1\n");
    EXPECT_TRUE(Contains(Text(dir / "run.unpack-err"), "File access denied"));
    EXPECT_EQ(Text(dir / "run.pack-rc"), "1\n");
    EXPECT_TRUE(Contains(Text(dir / "run.pack-err"), "File access denied"));
    EXPECT_EQ(Text(dir / "ro/iconres.ezx"), "old archive");
    EXPECT_EQ(Names(dir / "ro"), (std::set<std::string>{"iconres.ezx"}));
}

}  // namespace
}  // namespace tavro::test
