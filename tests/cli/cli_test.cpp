// The tavro program driven end to end: unpack, pack, info, exit codes and progress.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "archive/archive_fixture.h"
#include "cli/runtavro.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
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
    EXPECT_EQ(FolderNames(folder + "/raws").size(), 36u);
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
    TempDir dir;
    WriteBytes(dir / "three.ezx",
               BuildArchive(HeaderText(24), {{"B.k", {0}, 0}, {"a.k", {0}, 1}, {"C.k", {0}, 2}}));
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
    EXPECT_TRUE(Contains(r.err, "bad.ezx: the table header at offset 4294967040 lies past the end of the archive"));
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
    EXPECT_TRUE(Contains(RunTavro({"--help"}).out, "desktop application"));
    // Without a command the desktop starts; without a display it says so and fails.
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) ::unsetenv(name);
    RunResult none = RunTavro({});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(Contains(none.err, "no display")) << none.err;
    EXPECT_TRUE(Contains(none.err, "tavro --help")) << none.err;
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
