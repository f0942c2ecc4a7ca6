// The tavro program on hand-built archives and folders that a user has edited or
// protected: what it writes, what it refuses, and what it says.
#include <gtest/gtest.h>

#include <sys/stat.h>

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
        const RunResult r = RunTavro({"unpack", dir / "in.ezx", dir / "x"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    TempDir dir;
};

// The output is replaced only by a complete archive, and never when it is write-protected.
TEST_F(CliEdits, PackReplacesTheOutputOnlyWhenItMay) {
    // An output name of 255 bytes: the temporary file's name does not grow with it.
    const std::string longName = dir / (std::string(251, 'a') + ".ezx");
    RunResult r = RunTavro({"pack", dir / "x", longName});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadBytes(longName), SmallArchive());

    // A write-protected archive is refused and left as it was.
    fs::create_directory(dir / "w");
    WriteText(dir / "w/old.ezx", "old archive");
    ::chmod((dir / "w/old.ezx").c_str(), 0444);
    r = RunTavro({"pack", dir / "x", dir / "w/old.ezx"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "tavro: " + dir / "w/old.ezx" + ": File access denied\n");
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
        "mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" && mount --bind \"$2\" \"$1/iconres.ezx\" "
        "|| exit 99\n"
        "TMPDIR=\"$5\" \"$TAVRO\" pack \"$3\" \"$1/iconres.ezx\" 2>\"$4.err\"; rc=$?\n"
        "ls -A \"$1\" >\"$4.list\"; ls -A \"$5\" >\"$4.tmp\"; exit $rc\n";
    const int rc = RunInMountNamespace(script, {dir / "ro", dir / "real.ezx", dir / "x", dir / "run", dir / "tmp"});
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
        const RunResult r = RunTavro({"unpack", dir / "in.ezx", dir / "x"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, c.before + "tavro: " + c.file + ": File access denied\n");
        EXPECT_EQ(ReadText(c.file), "the user's own");
        ::chmod(c.file.c_str(), 0644);
    }
}

// A BMP whose every alpha byte is 0 stays transparent, with a warning from each
// command that converts it. The .raw writer from the command line.
TEST_F(CliEdits, TransparentPlaceholdersAndRaw) {
    const std::string blank = dir / "x/icons/blank.bmp";
    const std::string warning = "tavro: warning: " + blank + ": every pixel is transparent\n";
    RunResult r = RunTavro({"convert", blank, dir / "blank.k", "--handset", "k32"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, warning);
    r = RunTavro({"convert-all", dir / "x/icons", dir / "k", "--to", "handset"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, warning);
    r = RunTavro({"pack", dir / "x", dir / "again.ezx"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, warning);
    EXPECT_EQ(ReadBytes(dir / "again.ezx"), SmallArchive());

    r = RunTavro({"convert", dir / "x/icons/a.bmp", dir / "a", "--handset", "raw"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, dir / "a(2x1).raw\n");
}

}  // namespace
}  // namespace tavro::test
