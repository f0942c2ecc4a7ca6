// The tavro program on hand-built archives and folders that a user has edited,
// protected or damaged: what it writes, what it refuses, and what it says.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "archive/archive_fixture.h"
#include "cli/runtavro.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

namespace fs = std::filesystem;

std::string Text(const std::string& path) {
    const Bytes b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A 32-bit BMP of 2 x 1 pixels (each a little-endian word): a 40-byte header, its three
// masks after it when given (BI_BITFIELDS), else BI_RGB.
Bytes Bmp32(std::uint32_t left, std::uint32_t right, const std::vector<std::uint32_t>& masks = {}) {
    const auto offset = static_cast<std::uint32_t>(54 + 4 * masks.size());
    Bytes b = ToBytes("BM");
    for (std::uint32_t v : {offset + 8, 0u, offset, 40u, 2u, 1u, 1u | 32u << 16}) AppendU32(b, v);
    AppendU32(b, masks.empty() ? 0 : 3);
    for (std::uint32_t v : {8u, 0u, 0u, 0u, 0u}) AppendU32(b, v);
    for (std::uint32_t m : masks) AppendU32(b, m);
    AppendU32(b, left);
    AppendU32(b, right);
    return b;
}

// A 32-bit .k of 2 x 1 pixels, B G R A each.
Bytes K32(std::uint32_t left, std::uint32_t right) {
    Bytes k = KFile(2, 1, 32, 8);
    AppendU32(k, left);
    AppendU32(k, right);
    return k;
}

const Bytes kGif = ToBytes("GIF89a\x01\x00\x01\x00 any bytes");

// Two pictures, one of them a transparent placeholder, and a GIF.
Bytes SmallArchive() {
    return BuildArchive(HeaderText(1575), {{"a.k", K32(0xFF102030, 0x80405060), 1},
                                           {"b.g", kGif, 2},
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

// Point 5: the output is replaced only by a complete archive, and never when it is
// write-protected.
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
    EXPECT_EQ(Text(dir / "w/old.ezx"), "old archive");
    EXPECT_EQ(ModeOf(dir / "w/old.ezx"), 0444u);
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
    if (rc == -2 || rc == kNoMount) GTEST_SKIP() << "no private mount namespace here for a read-only folder";
    EXPECT_EQ(rc, 0) << Text(dir / "run.err");
    EXPECT_EQ(ReadBytes(dir / "real.ezx"), SmallArchive());
    EXPECT_EQ(ModeOf(dir / "real.ezx"), 0640u);
    EXPECT_EQ(Text(dir / "run.list"), "iconres.ezx\n");
    EXPECT_EQ(Text(dir / "run.tmp"), "");  // the temporary file is gone
}

// Point 6: unpacking again does not replace files the user made read-only.
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
        EXPECT_EQ(Text(c.file), "the user's own");
        EXPECT_EQ(ModeOf(c.file), 0444u);
        ::chmod(c.file.c_str(), 0644);
    }
}

// Point 7: a BMP's colour masks are honoured; a BMP whose every alpha byte is 0 stays
// transparent, with a warning from each command that converts it.
TEST_F(CliEdits, BmpMasksAndTransparentPlaceholders) {
    WriteBytes(dir / "masks.bmp", Bmp32(0x11223344, 0x00FF0000, {0xFF000000, 0x00FF0000, 0x0000FF00}));
    RunResult r = RunTavro({"convert", dir / "masks.bmp", dir / "masks.k", "--handset", "k32"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadBytes(dir / "masks.k"), K32(0xFF112233, 0xFF00FF00));

    const std::string blank = dir / "x/icons/blank.bmp";
    const std::string warning = "tavro: warning: " + blank + ": every pixel is transparent\n";
    r = RunTavro({"convert", blank, dir / "blank.k", "--handset", "k32"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, warning);
    EXPECT_EQ(ReadBytes(dir / "blank.k"), K32(0x00102030, 0x00405060));
    r = RunTavro({"convert-all", dir / "x/icons", dir / "k", "--to", "handset"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, warning);
    r = RunTavro({"pack", dir / "x", dir / "again.ezx"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, warning);
    EXPECT_EQ(ReadBytes(dir / "again.ezx"), SmallArchive());
}

// Point 8, and the .raw writer from the command line.
TEST_F(CliEdits, ConvertTakesAGWithoutFormatAndWritesRaw) {
    RunResult r = RunTavro({"convert", dir / "x/raws/b.g", dir / "out"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, dir / "out.gif\n");
    EXPECT_EQ(ReadBytes(dir / "out.gif"), kGif);

    r = RunTavro({"convert", dir / "x/icons/a.bmp", dir / "a", "--handset", "raw"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, dir / "a(2x1).raw\n");
    EXPECT_EQ(ReadBytes(dir / "a(2x1).raw"), (Bytes{0x11, 0x06, 0x42, 0x8C, 0x00, 0x00}));
}

// Point 9: damaged input is refused with a message that says what is wrong (the
// others of the list are refused by the core's tests), and convert-all stops at a
// target it cannot write.
TEST_F(CliEdits, DamagedInputIsRefusedWithItsMessage) {
    Bytes cutTable = BuildArchive(HeaderText(24), {{"a.k", {1}, 1}, {}, {}});
    const std::uint32_t idTable = TablePosition(cutTable) + 20;
    cutTable.resize(idTable + 12 * 3 - 1);
    WriteBytes(dir / "cut.ezx", cutTable);
    fs::copy(dir / "x", dir / "nodat", fs::copy_options::recursive);
    WriteText(dir / "nodat/iconres.dat", "");
    fs::create_directories(dir / "two");
    fs::create_directories(dir / "std");
    WriteBytes(dir / "two/a.k", K32(1, 2));
    WriteBytes(dir / "two/b.k", K32(3, 4));
    WriteText(dir / "std/b.bmp", "protected");
    ::chmod((dir / "std/b.bmp").c_str(), 0444);

    const struct {
        std::vector<std::string> args;
        std::string file;  // named in the message
        std::string message;
    } cases[] = {
        {{"unpack", dir / "cut.ezx", dir / "u"}, dir / "cut.ezx",
         "the ID table of 3 slots at offset " + std::to_string(idTable) + " runs past the end of the archive"},
        {{"pack", dir / "nodat", dir / "p.ezx"}, dir / "nodat/iconres.dat",
         "the structure file is too short to hold its record count"},
        {{"convert-all", dir / "two", dir / "std", "--to", "standard"}, dir / "std/b.bmp", "File access denied"},
    };
    for (const auto& c : cases) {
        const RunResult r = RunTavro(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args[0];
        EXPECT_EQ(r.err, "tavro: " + c.file + ": " + c.message + "\n");
    }
    EXPECT_FALSE(Exists(dir / "u/iconres.dat"));  // nothing that could be packed
    EXPECT_FALSE(Exists(dir / "p.ezx"));
    // convert-all stopped at b.k, after converting a.k.
    EXPECT_EQ(FolderNames(dir / "std"), (std::vector<std::string>{"a.bmp", "b.bmp"}));
    EXPECT_EQ(Text(dir / "std/b.bmp"), "protected");
}

}  // namespace
}  // namespace tavro::test
