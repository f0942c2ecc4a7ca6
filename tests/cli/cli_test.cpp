// The tavro program driven end to end: unpack, pack, info, exit codes and progress.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/runtavro.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

// Whether text holds part, showing the text when it does not.
::testing::AssertionResult Contains(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\" does not contain \"" << part << "\"";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::size_t FileCount(const std::string& folder) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

// The sample holds every kind of entry, a .raw picture and a non-picture among them:
// packing must carry those two from raws/ for the folder to give the archive back.
TEST(CliUnpackPack, SampleArchiveComesBackByteForByte) {
    TempDir dir;
    const std::string folder = dir / "out/iconres";  // two levels, both made by unpack
    RunResult unpack = RunTavro({"unpack", SampleArchive(), folder});
    ASSERT_EQ(unpack.exitCode, 0) << unpack.err;
    EXPECT_EQ(unpack.out, "");
    EXPECT_EQ(unpack.err, "");  // no progress when stderr is not a terminal
    EXPECT_EQ(FileCount(folder + "/raws"), 36u);
    EXPECT_TRUE(Exists(folder + "/icons/clock.bmp"));
    EXPECT_TRUE(Exists(folder + "/icons/logo.png"));  // a .g keeps its content's format
    EXPECT_TRUE(Exists(folder + "/icons/busy.gif"));
    EXPECT_EQ(ReadBytes(folder + "/iconres.hdr").size(), 1575u);

    RunResult pack = RunTavro({"pack", folder, dir / "out/iconres-repacked.ezx"});
    ASSERT_EQ(pack.exitCode, 0) << pack.err << "(the .raw entry and theme.cfg have to come back from raws/)";
    EXPECT_EQ(pack.err, "");
    EXPECT_EQ(ReadBytes(dir / "out/iconres-repacked.ezx"), ReadBytes(SampleArchive()));
}

TEST(CliUnpackPack, ListPrintsNamesInTheDesktopsOrder) {
    TempDir dir;
    RunResult r = RunTavro({"unpack", SampleArchive(), dir.Path(), "--list", "--format", "png"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> names = Lines(r.out);
    ASSERT_EQ(names.size(), 36u);
    EXPECT_EQ(names.front(), "alarm.k");
    EXPECT_EQ(names.back(), "wifi.g");
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_TRUE(Exists(dir / "icons/clock.png"));
    EXPECT_FALSE(Exists(dir / "icons/clock.bmp"));
}

TEST(CliUnpackPack, ListSortsWithoutRegardToCase) {
    // A one-slot-per-name archive built by hand: names B.k, a.k, C.k.
    TempDir dir;
    Bytes a;
    AppendText(a, "motoskin\n\nv1.00\n00000000");  // 24 bytes of header text
    const std::uint32_t namesBase = 24;
    AppendText(a, "B.k\na.k\nC.k\n");  // 12 bytes: P = 36
    const std::string p = "00000024";
    std::copy(p.begin(), p.end(), a.begin() + 16);
    for (std::uint32_t v : {0xABCDDCBAu, namesBase, 3u, 56u, 92u}) AppendU32(a, v);
    for (std::uint32_t slot = 0; slot < 3; ++slot) {
        AppendU32(a, slot);      // ResourceId
        AppendU32(a, 4 * slot);  // name offset
        AppendU32(a, 9 * slot);  // data offset: records of 8 + 1 bytes
    }
    for (int i = 0; i < 3; ++i) {
        AppendU32(a, 0xDCBAABCD);
        AppendU32(a, 1);
        a.push_back(0);
    }
    WriteBytes(dir / "three.ezx", a);
    RunResult r = RunTavro({"unpack", dir / "three.ezx", dir / "out", "--list"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "a.k\nB.k\nC.k\n");
}

TEST(CliUnpackPack, FailuresNameTheFileAndWriteNothing) {
    TempDir dir;
    RunResult missing = RunTavro({"unpack", dir / "none.ezx", dir / "out"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "tavro: " + dir / "none.ezx" + ": File not found\n");
    EXPECT_FALSE(Exists(dir / "out"));

    // No structure file, then a structure file but no icons: nothing is written.
    std::filesystem::create_directory(dir / "empty");
    RunResult noDat = RunTavro({"pack", dir / "empty", dir / "a.ezx"});
    EXPECT_EQ(noDat.exitCode, 1);
    EXPECT_TRUE(Contains(noDat.err, "iconres.dat: no structure file"));
    WriteBytes(dir / "empty/iconres.dat", Bytes(4, 0));
    RunResult noIcons = RunTavro({"pack", dir / "empty", dir / "a.ezx"});
    EXPECT_EQ(noIcons.exitCode, 1);
    EXPECT_TRUE(Contains(noIcons.err, "icons/: no icons to pack"));
    EXPECT_FALSE(Exists(dir / "a.ezx"));

    // An archive that cannot be written: its folder is a file.
    RunResult unpack = RunTavro({"unpack", SampleArchive(), dir / "x"});
    ASSERT_EQ(unpack.exitCode, 0) << unpack.err;
    WriteText(dir / "file", "");
    RunResult unwritable = RunTavro({"pack", dir / "x", dir / "file/a.ezx"});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_TRUE(Contains(unwritable.err, "file/a.ezx: File not found"));
}

TEST(CliInfo, DescribesTheArchivesSlotsAndSinglePictures) {
    RunResult r = RunTavro({"info", SampleArchive()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "40 slots: 36 entries, 4 empty"));
    EXPECT_TRUE(Contains(r.out, "(empty)"));
    std::vector<std::string> lines = Lines(r.out);
    auto line = [&](const std::string& name) {
        auto it = std::find_if(lines.begin(), lines.end(),
                               [&](const std::string& l) { return l.find(" " + name + " ") != std::string::npos; });
        return it == lines.end() ? std::string() : *it;
    };
    EXPECT_TRUE(Contains(line("wallpaper(48x32).raw"), "pkRaw        48x32"));
    EXPECT_TRUE(Contains(line("clock.k"), "pkK18Masked  32x32"));
    EXPECT_TRUE(Contains(line("title_bar.k"), "pkK18        120x18"));
    EXPECT_TRUE(Contains(line("logo.g"), "pkG          64x40"));
    EXPECT_TRUE(Contains(line("theme.cfg"), "pkOther      -"));

    TempDir dir;
    ASSERT_EQ(RunTavro({"unpack", SampleArchive(), dir.Path()}).exitCode, 0);
    RunResult k32 = RunTavro({"info", dir / "raws/menu_music.k"});
    EXPECT_EQ(k32.out, "name: menu_music.k\nkind: pkK32\nsize: 32x32\ntype: 32-bit BMP\n");
    RunResult g = RunTavro({"info", dir / "raws/busy.g", "--format", "gif"});
    EXPECT_TRUE(Contains(g.out, "size: 24x24\ntype: GIF\n"));
    RunResult text = RunTavro({"info", dir / "raws/theme.cfg"});
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_TRUE(Contains(text.err, "theme.cfg: not a picture"));
}

TEST(CliInfo, ArchiveWithTableOutsideTheFileIsADataError) {
    TempDir dir;
    Bytes a;
    AppendText(a, "motoskin\n\nv1.00\nffffff00 and nothing more");
    WriteBytes(dir / "bad.ezx", a);
    RunResult r = RunTavro({"info", dir / "bad.ezx"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "bad.ezx: the table header at 0xffffff00 lies outside the file"));
}

TEST(CliUsage, UsageErrorsExitTwoWithAUsageLine) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"unpack", "only-one"},
             {"frobnicate"},
             {"unpack", "a", "b", "--format", "tiff"},
             {"convert", "a.k", "b.png", "--format", "png", "--handset", "k18"},
             {"convert", "a.k", "b.dat"},  // no format from the extension, none given
             {"convert-all", "a", "b"},    // --to is required
         }) {
        RunResult r = RunTavro(args);
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_TRUE(Contains(r.err, "usage: tavro")) << args[0];
        EXPECT_EQ(r.out, "");
    }
    RunResult none = RunTavro({});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_TRUE(Contains(none.out, "convert-all"));
    EXPECT_EQ(RunTavro({"--version"}).out, "tavro 0.5\n");
}

TEST(CliProgress, StageCaptionsShowOnATerminal) {
    TempDir dir;
    RunResult unpack = RunTavroOnTerminal({"unpack", SampleArchive(), dir / "x"});
    ASSERT_EQ(unpack.exitCode, 0) << unpack.out;
    EXPECT_TRUE(Contains(unpack.out, "Extracting icons"));
    EXPECT_TRUE(Contains(unpack.out, "100%"));
    // Without its icon the .raw entry is not packed, whatever packing makes of .raw.
    std::filesystem::remove(dir / "x/icons/wallpaper(48x32).bmp");
    RunResult pack = RunTavroOnTerminal({"pack", dir / "x", dir / "x.ezx"});
    ASSERT_EQ(pack.exitCode, 0) << pack.out;
    EXPECT_TRUE(Contains(pack.out, "Packing icons"));
}

}  // namespace
}  // namespace tavro::test
