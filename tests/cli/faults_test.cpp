// The tavro program on archives and folders that a user has edited or protected, and
// against failing disks: a full device, a full file system, a read-only target. Each
// failing run must report the failure in the user's words, keep what was written
// before it, write nothing outside its target, and never replace an existing archive
// with a broken one.
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

namespace fs = std::filesystem;

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A 32-bit .k of 2 x 1 pixels, B G R A each.
Bytes K32(std::uint32_t left, std::uint32_t right) {
    Bytes k = KFile(2, 1, 32, 8);
    AppendU32(k, left);
    AppendU32(k, right);
    return k;
}

// Two pictures, one of them a transparent placeholder, and a GIF.
Bytes SmallArchive() {
    return BuildArchive(HeaderText(1575), {{"a.k", K32(0xFF102030, 0x80405060), 1},
                                           {"b.g", ToBytes("GIF89a\x01\x00\x01\x00 any bytes"), 2},
                                           {"blank.k", K32(0x00102030, 0x00405060), 3}});
}

class CliEdits : public ::testing::Test {
protected:
    // Writes SmallArchive() to in.ezx and unpacks it into x/.
    void SetUp() override {
        WriteBytes(dir / "in.ezx", SmallArchive());
        ASSERT_EQ(RunTavro({"unpack", dir / "in.ezx", dir / "x"}), Exited(0));
    }
    TempDir dir;
};

// The output is replaced only by a complete archive, and never when it is write-protected.
TEST_F(CliEdits, PackReplacesTheOutputOnlyWhenItMay) {
    // An output name of 255 bytes: the temporary file's name does not grow with it.
    const std::string longName = dir / (std::string(251, 'a') + ".ezx");
    EXPECT_EQ(RunTavro({"pack", dir / "x", longName}).exitCode, 0);
    EXPECT_EQ(ReadBytes(longName), SmallArchive());

    // A write-protected archive is refused and left as it was.
    fs::create_directory(dir / "w");
    WriteText(dir / "w/old.ezx", "old archive");
    ::chmod((dir / "w/old.ezx").c_str(), 0444);
    EXPECT_EQ(RunTavro({"pack", dir / "x", dir / "w/old.ezx"}),
              Exited(1, "", "tavro: " + dir / "w/old.ezx" + ": File access denied\n"));
    EXPECT_EQ(ReadText(dir / "w/old.ezx"), "old archive");
    EXPECT_EQ(FolderNames(dir / "w"), std::vector<std::string>{"old.ezx"});

    // A writable archive in a folder where no file can be created (a read-only mount,
    // the archive mounted writable on it): built in the temporary folder, then written
    // over the archive in place.
    fs::create_directories(dir / "ro");
    fs::create_directories(dir / "tmp");
    WriteText(dir / "ro/iconres.ezx", "");
    WriteText(dir / "real.ezx", std::string(5000, 'o'));  // longer than the new archive
    ::chmod((dir / "real.ezx").c_str(), 0640);
    const std::string script =
        "mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" || exit 99\n"
        "mount --bind \"$2\" \"$1/iconres.ezx\" || exit 99\n"
        "TMPDIR=\"$5\" \"$TAVRO\" pack \"$3\" \"$1/iconres.ezx\" 2>\"$4.err\"; rc=$?\n"
        "ls -A \"$1\" >\"$4.list\"; ls -A \"$5\" >\"$4.tmp\"; exit $rc\n";
    const int rc =
        RunInMountNamespace(script, {dir / "ro", dir / "real.ezx", dir / "x", dir / "run", dir / "tmp"});
    if (rc == kNoMount) GTEST_SKIP() << "no private mount namespace here for a read-only folder";
    EXPECT_EQ(rc, 0) << ReadText(dir / "run.err");
    EXPECT_EQ(ReadBytes(dir / "real.ezx"), SmallArchive());
    EXPECT_EQ(ModeOf(dir / "real.ezx"), 0640u);
    EXPECT_EQ(ReadText(dir / "run.list"), "iconres.ezx\n");
    EXPECT_EQ(ReadText(dir / "run.tmp"), "");  // the temporary file is gone
}

// Unpacking again does not replace files the user made read-only.
TEST_F(CliEdits, UnpackRefusesReadOnlyFiles) {
    const struct {
        std::string file;
        std::string before;  // what stderr says before the refusal
    } cases[] = {
        {dir / "x/raws/a.k", "tavro: Error: " + dir / "x/raws/a.k" + "\n"},
        {dir / "x/icons/a.bmp", ""},
    };
    for (const auto& c : cases) {
        WriteText(c.file, "the user's own");
        ::chmod(c.file.c_str(), 0444);
        EXPECT_EQ(RunTavro({"unpack", dir / "in.ezx", dir / "x"}),
                  Exited(1, "", c.before + "tavro: " + c.file + ": File access denied\n"));
        EXPECT_EQ(ReadText(c.file), "the user's own");
        ::chmod(c.file.c_str(), 0644);
    }
}

// A BMP whose every alpha byte is 0 stays transparent, with a warning from each
// command that converts it. The .raw writer from the command line.
TEST_F(CliEdits, TransparentPlaceholdersAndRaw) {
    const std::string blank = dir / "x/icons/blank.bmp";
    const std::string warning = "tavro: warning: " + blank + ": every pixel is transparent\n";
    EXPECT_EQ(RunTavro({"convert", blank, dir / "blank.k", "--handset", "k32"}),
              Exited(0, dir / "blank.k\n", warning));
    EXPECT_EQ(RunTavro({"convert-all", dir / "x/icons", dir / "k", "--to", "handset"}),
              Exited(0, "3 converted, 0 passed over\n", warning));
    EXPECT_EQ(RunTavro({"pack", dir / "x", dir / "again.ezx"}), Exited(0, "", warning));
    EXPECT_EQ(ReadBytes(dir / "again.ezx"), SmallArchive());
    EXPECT_EQ(RunTavro({"convert", dir / "x/icons/a.bmp", dir / "a", "--handset", "raw"}),
              Exited(0, dir / "a(2x1).raw\n"));
}

TEST(CliFaults, FullDeviceStopsUnpackAndPack) {
    TempDir dir;
    WriteBytes(dir / "in.ezx", BuildArchive(HeaderText(40), {{"a.k", K32(1, 1), 11},
                                                             {"b.k", K32(2, 2), 12},
                                                             {"c.k", K32(3, 3), 13},
                                                             {"d.k", K32(4, 4), 14}}));
    const std::string target = dir / "out/";
    std::filesystem::create_directories(target + "raws");
    std::filesystem::create_symlink("/dev/full", target + "raws/c.k");  // the third raw copy
    RunResult r = RunTavro({"unpack", dir / "in.ezx", target});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "raws/c.k: Disk full"));
    // The entry before it is complete; nothing after it was begun, nothing outside the target.
    EXPECT_EQ(ReadBytes(target + "raws/b.k"), K32(2, 2));
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
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"unpack", SampleArchive(), dir / "ro"},
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
        const int rc =
            RunInMountNamespace(script, {dir / "ro", SampleArchive(), dir / "folder", dir / "run"});
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
