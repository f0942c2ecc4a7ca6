// The tavro program driven end to end: every command's output, files, messages and
// exit codes, and its progress on a terminal; on archives and folders that a user has
// edited or protected, and against failing disks: a full device, a full file system,
// a read-only target. Each failing run must report the failure in the user's words,
// keep what was written before it, write nothing outside its target, and never
// replace an existing archive with a broken one.
//
// A full file system and a read-only folder that stops root as well need a private
// mount namespace (unshare); where the system refuses one, those tests are skipped.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "cli/runtavro.h"
#include "imaging/conversion.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

// The sample archive, unpacked once for every test here.
const TempDir& UnpackedSample() {
    static const TempDir sample;
    static const RunResult unpacked = RunTavro({"unpack", SampleArchive(), sample.Path()});
    EXPECT_EQ(unpacked, Exited(0));
    return sample;
}

class Cli : public ::testing::Test {
protected:
    static std::string Sample(const std::string& name) { return UnpackedSample() / name; }
    TempDir dir;
    const TempDir* sample_ = &UnpackedSample();
};

// Unpacking to BMP and packing again gives back the archive byte for byte: the sample,
// and an archive of odd-sized pictures with colour under transparent pixels. Packing
// must carry the .raw picture and the non-picture from raws/.
TEST_F(Cli, UnpackAndPackGiveTheArchiveBackByteForByte) {
    // The odd picture (47 x 33, alpha 0 over colour) through the handset writers.
    SaveBitmap(OddPicture(), dir / "odd.bmp", "image/bmp");
    auto odd = [&](TPictureKind kind) {
        std::string k = dir / "odd";
        EncodePicture(dir / "odd.bmp", kind, k);
        return ReadBytes(k);
    };
    // Slots in another order than their names, which packing writes in ascending order.
    const Bytes built = BuildArchive(
        HeaderText(1575),
        {{"d_plain.k", odd(pkK18), 404}, {}, {"a_masked.k", odd(pkK18Masked), 101},
         {"e_unknown.g", ToBytes("neither GIF nor PNG"), 505}, {"b_wide.k", odd(pkK32), 202}, {},
         {"c_anim.g", ToBytes("GIF89a and any bytes"), 303},
         {"g_png.g", ToBytes("\x89PNG\r\n\x1a\n and more"), 707},
         {"h_sky(2x2).raw", {0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F, 0xFF, 0xFF, 0x50}, 808},
         {"i_theme.cfg", ToBytes("colour=blue\n"), 909},
         // Both records name the icon j_note.bmp; the picture's must still be found.
         {"j_note.bmp", ToBytes("no picture"), 1001}, {"j_note.k", odd(pkK18Masked), 1002}});
    WriteBytes(dir / "odd.ezx", built);
    for (const std::string& archive : {SampleArchive(), dir / "odd.ezx"}) {
        const std::string folder = dir / "out/iconres";  // two levels, both made by unpack
        std::filesystem::remove_all(dir / "out");
        // Nothing printed: no progress when stderr is not a terminal.
        ASSERT_EQ(RunTavro({"unpack", archive, folder}), Exited(0)) << archive;
        ASSERT_EQ(RunTavro({"pack", folder, dir / "out/repacked.ezx"}), Exited(0)) << archive;
        EXPECT_TRUE(ReadBytes(dir / "out/repacked.ezx") == ReadBytes(archive)) << archive;
    }
    EXPECT_EQ(FolderNames(dir / "out/iconres/icons"),
              (std::vector<std::string>{"a_masked.bmp", "b_wide.bmp", "c_anim.gif", "d_plain.bmp", "e_unknown.unk",
                                        "g_png.png", "h_sky(2x2).bmp", "j_note.bmp"}));
}

TEST_F(Cli, ListPrintsNamesSortedWithoutRegardToCase) {
    const Bytes clock = ReadBytes(Sample("raws/clock.k"));  // the others do not decode: listed all the same
    WriteBytes(dir / "three.ezx",
               BuildArchive(HeaderText(24), {{"B.k", {0}, 0}, {"a.k", clock, 1}, {"C.k", {0}, 2},
                                             {"Часы.k", {0}, 3}, {"\xB8\xEB\xEA\xE0.k", {0}, 4}}));
    // Cyrillic first, ё with е ("ёлка" in Windows-1251, printed as its bytes when piped).
    EXPECT_EQ(RunTavro({"unpack", dir / "three.ezx", dir / "three", "--list", "--format", "png"}),
              Exited(0, "\xB8\xEB\xEA\xE0.k\nЧасы.k\na.k\nB.k\nC.k\n"));
    EXPECT_TRUE(Exists(dir / "three/icons/a.png"));
}

TEST_F(Cli, InfoDescribesSlotsAndPictures) {
    RunResult r = RunTavro({"info", SampleArchive()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Slot, resource id, name, bytes, kind and size of a few slots.
    for (const char* line : {"40 slots: 36 entries, 4 empty", "\n    6            -  (empty)\n",
                             "\n   22       266948  clock.k                   3216  pkK18Masked  32x32\n",
                             "\n   27       267108  title_bar.k               6496  pkK18        120x18\n",
                             "\n   34       267331  logo.g                    3712  pkG          64x40\n",
                             "\n   37       267428  wallpaper(48x32).raw      3264  pkRaw        48x32\n",
                             "\n   39       267491  theme.cfg                  151  pkOther      -\n"})
        EXPECT_TRUE(Contains(r.out, line));
    EXPECT_EQ(RunTavro({"info", Sample("raws/menu_music.k")}).out,
              "name: menu_music.k\nkind: pkK32\nsize: 32x32\ntype: 32-bit BMP\n");
    EXPECT_TRUE(Contains(RunTavro({"info", Sample("raws/busy.g"), "--format", "gif"}).out, "size: 24x24\ntype: GIF\n"));
}

// Decoding into the format the target names or --format gives; encoding into the
// handset form --handset asks for. Each prints the name it wrote.
TEST_F(Cli, ConvertWritesTheFormatAskedFor) {
    const struct {
        std::vector<std::string> args;
        std::string written;  // in the temp dir
        std::string same;     // a file of the sample it must equal, or the magic it starts with
    } cases[] = {
        {{Sample("raws/clock.k"), dir / "clock.PNG"}, "clock.PNG", "\x89PNG"},
        {{Sample("raws/clock.k"), dir / "clock.jpeg"}, "clock.jpeg", "\xFF\xD8\xFF"},
        {{Sample("raws/clock.k"), dir / "c.bmp", "--format", "jpeg"}, "c.bmp", "\xFF\xD8\xFF"},
        {{Sample("raws/menu_music.k"), dir / "music.bmp", "--format", "gif"}, "music.bmp", "GIF8"},
        {{Sample("raws/wallpaper(48x32).raw"), dir / "w.bmp"}, "w.bmp", "BM"},
        {{Sample("raws/busy.g"), dir / "busy"}, "busy.gif", "raws/busy.g"},  // .g: the content's extension
        {{Sample("icons/glow_orb.bmp"), dir / "orb.bmp", "--handset", "k32"}, "orb.k", "raws/glow_orb.k"},
        {{Sample("icons/title_bar.bmp"), dir / "bar", "--handset", "k18-nomask"}, "bar.k", "raws/title_bar.k"},
        {{Sample("icons/clock.bmp"), dir / "clock", "--handset", "k18"}, "clock.k", "raws/clock.k"},
        {{Sample("icons/clock.bmp"), dir / "copy", "--handset", "g"}, "copy.g", "icons/clock.bmp"},
        {{Sample("icons/logo.png"), dir / "logo.k", "--handset", "k18"}, "logo.g", "raws/logo.g"},  // PNG: always .g
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"convert"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ASSERT_EQ(RunTavro(args), Exited(0, dir / c.written + "\n"));
        const std::string text = ReadText(dir / c.written);
        EXPECT_TRUE(c.same.find('/') == std::string::npos ? text.starts_with(c.same) : text == ReadText(Sample(c.same)))
            << c.written;
    }
}

// convert-all takes .k then .g files (a.k and a.g both give a.gif: the .g last),
// matched without regard to case, and passes over what does not convert; hidden files,
// folders and other files stay out. The other way, in place, a.png and a.gif both
// give a.g, and a BMP becomes an 18-bit .k with mask.
TEST_F(Cli, ConvertAllRunsBothDirectionsAndCounts) {
    const Bytes gif = ToBytes("GIF89a\1\2\3"), png = ToBytes("\x89PNG\r\n\x1a\n\4\5");
    std::filesystem::create_directories(dir / "src/sub.k");
    for (const char* name : {"a.k", "c.K", ".hidden.k"})
        std::filesystem::copy(Sample("raws/clock.k"), dir / "src/" + name);
    WriteBytes(dir / "src/a.g", gif);
    WriteBytes(dir / "src/b.G", png);
    WriteBytes(dir / "src/bad.k", KFile(0, 0, 18, 0));
    WriteBytes(dir / "src/photo.jpg", gif);
    std::filesystem::copy(Sample("raws/wallpaper(48x32).raw"), dir / "src/w(48x32).raw");
    EXPECT_EQ(RunTavro({"convert-all", dir / "src", dir / "std", "--to", "standard", "--format", "gif"}),
              Exited(0, "4 converted into 3 files, 1 passed over\n",
                     "tavro: warning: " + dir / "std/a.gif: written from a.k and then from a.g, whose result replaced it\n"));
    EXPECT_EQ(FolderNames(dir / "std"), (std::vector<std::string>{"a.gif", "b.png", "c.gif"}));
    EXPECT_EQ(ReadBytes(dir / "std/a.gif"), gif);

    std::filesystem::copy(Sample("icons/clock.bmp"), dir / "std/clock.bmp");
    WriteBytes(dir / "std/a.png", png);
    WriteBytes(dir / "std/photo.jpg", png);
    WriteText(dir / "std/broken.bmp", "not a bitmap");
    EXPECT_EQ(RunTavro({"convert-all", dir / "std", dir / "std", "--to", "handset"}),
              Exited(0, "5 converted into 4 files, 1 passed over\n",
                     "tavro: warning: " + dir / "std/a.g: written from a.png and then from a.gif, whose result replaced it\n"));
    EXPECT_EQ(ReadBytes(dir / "std/a.g"), gif);
    EXPECT_EQ(ReadBytes(dir / "std/clock.k"), ReadBytes(Sample("raws/clock.k")));
    EXPECT_EQ(FolderNames(dir / "std"),
              (std::vector<std::string>{"a.g", "a.gif", "a.png", "b.g", "b.png", "broken.bmp", "c.g", "c.gif",
                                        "clock.bmp", "clock.k", "photo.jpg"}));
}

// Failures exit 1 with the file and the reason, usage errors 2 with a usage line;
// neither prints on stdout. An expected text ending in LF is the whole of stderr.
TEST_F(Cli, FailuresAndUsageErrors) {
    std::filesystem::create_directory(dir / "nodat");
    WriteBytes(dir / "noicons/iconres.dat", Bytes(4, 0));
    WriteText(dir / "file", "");
    WriteText(dir / "nosize.raw", "");
    WriteText(dir / "bad.ezx", "motoskin\n\nv1.00\nffffff00 and nothing more");
    Bytes cutTable = BuildArchive(HeaderText(24), {{"a.k", {1}, 1}, {}, {}});
    const std::uint32_t idTable = TablePosition(cutTable) + 20;
    cutTable.resize(idTable + 12 * 3 - 1);
    WriteBytes(dir / "cut.ezx", cutTable);
    WriteText(dir / "shortdat/iconres.dat", "");
    WriteText(dir / "shortdat/icons/a.bmp", "");
    // convert-all stops at a target it cannot write, after converting what came before.
    for (const char* name : {"two/a.k", "two/b.k"}) WriteBytes(dir / name, ReadBytes(Sample("raws/clock.k")));
    WriteText(dir / "std/b.bmp", "protected");
    ::chmod((dir / "std/b.bmp").c_str(), 0444);
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    } cases[] = {
        {{"unpack", dir / "none.ezx", dir / "out"}, 1, "tavro: " + dir / "none.ezx" + ": File not found\n"},
        {{"unpack", dir / "cut.ezx", dir / "u"}, 1, "tavro: " + dir / "cut.ezx" + ": the ID table of 3 slots at offset " +
                                                         std::to_string(idTable) + " runs past the end of the archive\n"},
        {{"pack", dir / "shortdat", dir / "a.ezx"}, 1, "tavro: " + dir / "shortdat/iconres.dat" +
                                                          ": the structure file is too short to hold its record count\n"},
        {{"convert-all", dir / "two", dir / "std", "--to", "standard"}, 1,
         "tavro: " + dir / "std/b.bmp" + ": File access denied\n"},
        {{"pack", dir / "nodat", dir / "a.ezx"}, 1, "nodat/iconres.dat: no structure file"},
        {{"pack", dir / "noicons", dir / "a.ezx"}, 1, "noicons/icons/: no icons to pack"},
        {{"pack", sample_->Path(), dir / "file/a.ezx"}, 1, "file/a.ezx: File not found"},
        {{"info", dir / "bad.ezx"}, 1, "bad.ezx: the table header at offset 4294967040 lies past the end"},
        {{"info", Sample("raws/theme.cfg")}, 1, "theme.cfg: not a picture"},
        {{"convert", dir / "none.k", dir / "a.bmp"}, 1, "tavro: " + dir / "none.k" + ": File not found\n"},
        {{"convert", Sample("icons/clock.bmp"), dir / "a.png"}, 1, "clock.bmp: not a handset picture"},
        {{"convert", dir / "nosize.raw", dir / "a.png"}, 1, "nosize.raw: the name gives no picture size"},
        {{"convert", Sample("raws/theme.cfg"), dir / "t.k", "--handset", "k18"}, 1,
         "tavro: " + Sample("raws/theme.cfg") +
             ": cannot be loaded: not a BMP, GIF, PNG or JPEG picture, damaged, or more than 1048576 pixels\n"},
        {{"convert", Sample("raws/clock.k"), dir / "file/clock.bmp"}, 1, "file/clock.bmp: File not found"},
        {{"convert-all", dir / "none", dir / "out", "--to", "standard"},
         1, "tavro: " + dir / "none" + ": File not found\n"},
        {{"unpack", "only-one"}, 2, "usage: tavro"},
        {{"frobnicate"}, 2, "usage: tavro"},
        {{"unpack", "a", "b", "--format", "tiff"}, 2, "usage: tavro"},
        {{"convert", "a.k", "b.png", "--format", "png", "--handset", "k18"}, 2, "usage: tavro"},
        {{"convert", "a.k", "b.dat"}, 2, "usage: tavro"},  // no format from the extension, none given
        {{"convert-all", "a", "b"}, 2, "usage: tavro"},    // --to is required
    };
    for (const auto& c : cases) {
        const RunResult r = RunTavro(c.args);
        EXPECT_EQ(r, Exited(c.exitCode, "", c.err.back() == '\n' ? c.err : r.err));
        EXPECT_TRUE(Contains(r.err, c.err));
    }
    EXPECT_EQ(FolderNames(dir.Path()),
              (std::vector<std::string>{"bad.ezx", "cut.ezx", "file", "nodat", "noicons", "nosize.raw", "shortdat",
                                        "std", "two", "u"}));
    EXPECT_FALSE(Exists(dir / "u/iconres.dat"));  // nothing that could be packed
    EXPECT_EQ(FolderNames(dir / "std"), (std::vector<std::string>{"a.bmp", "b.bmp"}));
    EXPECT_EQ(ReadText(dir / "std/b.bmp"), "protected");
    EXPECT_TRUE(Contains(RunTavro({"--help"}).out, "desktop application"));
    EXPECT_EQ(RunTavro({"--version"}).out, "tavro 0.5\n");
    // Without a command, or with an archive alone, the desktop starts; without a
    // display it says so and fails.
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) ::unsetenv(name);
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {SampleArchive()}}) {
        const RunResult r = RunTavro(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(Contains(r.err, "no display") && Contains(r.err, "tavro --help")) << r.err;
    }
}

TEST_F(Cli, StageCaptionsShowOnATerminal) {
    RunResult unpack = RunTavroOnTerminal({"unpack", SampleArchive(), dir / "x"});
    ASSERT_EQ(unpack.exitCode, 0) << unpack.out;
    EXPECT_TRUE(Contains(unpack.out, "Extracting icons") && Contains(unpack.out, "100%")) << unpack.out;
    // Without its icon the .raw entry is not packed, whatever packing makes of .raw.
    std::filesystem::remove(dir / "x/icons/wallpaper(48x32).bmp");
    RunResult pack = RunTavroOnTerminal({"pack", dir / "x", dir / "x.ezx"});
    ASSERT_EQ(pack.exitCode, 0) << pack.out;
    EXPECT_TRUE(Contains(pack.out, "Packing icons"));
    RunResult all = RunTavroOnTerminal({"convert-all", dir / "x/raws", dir / "y", "--to", "standard"});
    EXPECT_TRUE(Contains(all.out, "100%")) << all.out;
}


// Silent losses refused: a conversion onto its own source (under another spelling
// too), a GIF or PNG beyond the pixel limit on its way into a .g. A closed pipe ends
// `info` leaving nothing in the temporary folder. Names reach a terminal with their control
// bytes escaped, a pipe as they are.
TEST_F(Cli, NothingIsLostSilentlyAndNamesCannotSteerTheTerminal) {
    std::filesystem::copy(Sample("raws/clock.k"), dir / "clock.k");
    const Bytes clock = ReadBytes(dir / "clock.k");
    for (const std::string& target : {dir / "clock.k", dir.Path() + "./clock.k"}) {
        const RunResult r = RunTavro({"convert", dir / "clock.k", target, "--format", "png"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(Contains(r.err, "is the picture being converted"));
    }
    EXPECT_EQ(ReadBytes(dir / "clock.k"), clock);

    Bytes gif = ToBytes("GIF89a");
    for (std::uint8_t b : {0x60, 0xEA, 0x60, 0xEA, 0x00, 0x00, 0x00}) gif.push_back(b);  // 60000 x 60000, no table
    for (std::uint8_t b : {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0}) gif.push_back(b);           // a first image of 1 x 1
    Bytes png = ToBytes("\x89PNG\r\n\x1a\n");
    for (std::uint8_t b : {0, 0, 0, 13, 0x49, 0x48, 0x44, 0x52, 0, 0, 0xEA, 0x60, 0, 0, 0xEA, 0x60, 8, 6, 0, 0, 0})
        png.push_back(b);
    WriteBytes(dir / "bomb.gif", gif);
    WriteBytes(dir / "bomb.png", png);
    for (const char* bomb : {"bomb.gif", "bomb.png"}) {
        const RunResult r = RunTavro({"convert", dir / bomb, dir / "out", "--handset", "g"});
        EXPECT_EQ(r, Exited(1, "", "tavro: " + dir / bomb + ": the picture has 3600000000 pixels, more than 1048576\n"));
    }
    EXPECT_FALSE(Exists(dir / "out.g"));

    std::filesystem::create_directories(dir / "tmp");
    WriteBytes(dir / "many.ezx", BuildArchive(HeaderText(24), std::vector<Slot>(8000)));
    EXPECT_EQ(RunShell("{ TMPDIR=" + Quoted(dir / "tmp") + " " + TavroCommand({"info", dir / "many.ezx"}) +
                       " | head -1; }"),
              Exited(0, "archive " + dir / "many.ezx\n"));
    EXPECT_EQ(FolderNames(dir / "tmp"), std::vector<std::string>{});

    const std::string hostile = "t\x1b]0;title\x07\x1b[31mred\r.k";
    WriteBytes(dir / "names.ezx", BuildArchive(HeaderText(24), {{hostile, clock, 1}}));
    const RunResult shown = RunTavroOnTerminal({"unpack", dir / "names.ezx", dir / "n", "--list"});
    EXPECT_TRUE(Contains(shown.out, "t\\x1b]0;title\\x07\\x1b[31mred\\x0d.k")) << shown.out;
    EXPECT_EQ(shown.out.find('\x07'), std::string::npos);
    EXPECT_EQ(RunTavro({"unpack", dir / "names.ezx", dir / "n", "--list"}), Exited(0, hostile + "\n"));
}

namespace fs = std::filesystem;

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
    WriteText(dir / "w/old.ezx", "old archive");
    ::chmod((dir / "w/old.ezx").c_str(), 0444);
    EXPECT_EQ(RunTavro({"pack", dir / "x", dir / "w/old.ezx"}),
              Exited(1, "", "tavro: " + dir / "w/old.ezx" + ": File access denied\n"));
    EXPECT_EQ(ReadText(dir / "w/old.ezx"), "old archive");
    EXPECT_EQ(FolderNames(dir / "w"), std::vector<std::string>{"old.ezx"});

    // A writable archive in a folder where no file can be created (a read-only mount,
    // the archive mounted writable on it): built in the temporary folder, then written
    // over the archive in place.
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
    EXPECT_EQ(fs::status(dir / "real.ezx").permissions(), fs::perms(0640));
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

// A device as the output is written directly (it cannot be replaced).
TEST(CliFaults, FullDeviceStopsPack) {
    const RunResult r = RunTavro({"pack", UnpackedSample().Path(), "/dev/full"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "/dev/full: Disk full"));
}

TEST(CliFaults, FullFileSystemReportsDiskFullAndKeepsTheExistingArchive) {
    TempDir dir;
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
    const int rc =
        RunInMountNamespace(script, {dir / "mnt", SampleArchive(), UnpackedSample().Path(), dir / "run"});
    if (rc == kNoMount) GTEST_SKIP() << "no private mount namespace here for a small full file system";
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(Contains(ReadText(dir / "run.err"), "Disk full"));
    EXPECT_EQ(ReadBytes(dir / "run.after"), ReadBytes(SampleArchive()));
    EXPECT_EQ(ReadText(dir / "run.list"), "iconres.ezx\n");  // no half-written temporary left
    EXPECT_EQ(ReadText(dir / "run.unpack-rc"), "1\n");
    EXPECT_TRUE(Contains(ReadText(dir / "run.unpack-err"), "Disk full"));
}

// Written over in place (its folder lets no file be made) on a disk without room for
// the new archive: the room is taken before the first byte changes, so the old
// archive stays whole.
TEST(CliFaults, CopyOverOnAFullDiskKeepsTheOldArchive) {
    TempDir dir;
    std::filesystem::create_directories(dir / "mnt");
    std::filesystem::create_directories(dir / "tmp");
    const std::string script =
        "mount -t tmpfs -o size=64k tavro-full \"$1\" || exit 99\n"
        "mkdir \"$1/ro\"; : >\"$1/ro/iconres.ezx\"; printf 'old archive' >\"$1/real.ezx\"\n"
        "head -c 40000 /dev/zero >\"$1/filler\"\n"  // less room left than the new archive needs
        "mount --bind \"$1/ro\" \"$1/ro\" && mount -o remount,bind,ro \"$1/ro\" || exit 99\n"
        "mount --bind \"$1/real.ezx\" \"$1/ro/iconres.ezx\" || exit 99\n"
        "TMPDIR=\"$4\" \"$TAVRO\" pack \"$2\" \"$1/ro/iconres.ezx\" 2>\"$3.err\"; rc=$?\n"
        "cp \"$1/real.ezx\" \"$3.after\"; ls -A \"$4\" >\"$3.tmp\"; exit $rc\n";
    const int rc = RunInMountNamespace(script, {dir / "mnt", UnpackedSample().Path(), dir / "run", dir / "tmp"});
    if (rc == kNoMount) GTEST_SKIP() << "no private mount namespace here for a small full file system";
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(Contains(ReadText(dir / "run.err"), "iconres.ezx: Disk full")) << ReadText(dir / "run.err");
    EXPECT_EQ(ReadText(dir / "run.after"), "old archive");
    EXPECT_EQ(ReadText(dir / "run.tmp"), "");
}

TEST(CliFaults, ReadOnlyTargetReportsAccessDenied) {
    TempDir dir;
    WriteText(dir / "ro/iconres.ezx", "old archive");
    if (::geteuid() != 0) {
        ::chmod((dir / "ro").c_str(), 0555);
        // A new archive cannot be made there (an existing writable one is overwritten in place).
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"unpack", SampleArchive(), dir / "ro"},
              {"pack", UnpackedSample().Path(), dir / "ro/new.ezx"}}) {
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
            RunInMountNamespace(script, {dir / "ro", SampleArchive(), UnpackedSample().Path(), dir / "run"});
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
