// tavro convert and tavro convert-all, driven end to end.
#include <gtest/gtest.h>

#include "cli/runtavro.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

bool StartsWith(const Bytes& bytes, const std::string& magic) {
    return bytes.size() >= magic.size() &&
           std::equal(magic.begin(), magic.end(), bytes.begin(),
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

const std::string kPngMagic = "\x89PNG";

// A folder holding the sample's raw entries, unpacked once for every test here.
class CliConvert : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sample_ = new TempDir();
        RunResult r = RunTavro({"unpack", SampleArchive(), sample_->Path()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    static void TearDownTestSuite() {
        delete sample_;
        sample_ = nullptr;
    }
    static std::string Raw(const std::string& name) { return *sample_ / ("raws/" + name); }
    static std::string Icon(const std::string& name) { return *sample_ / ("icons/" + name); }

    TempDir dir_;
    static TempDir* sample_;
};

TempDir* CliConvert::sample_ = nullptr;

TEST_F(CliConvert, DecodesIntoTheFormatTheTargetNamesOrTheOneGiven) {
    RunResult png = RunTavro({"convert", Raw("clock.k"), dir_ / "clock.PNG"});
    ASSERT_EQ(png.exitCode, 0) << png.err;
    EXPECT_EQ(png.out, dir_ / "clock.PNG\n");
    EXPECT_TRUE(StartsWith(ReadBytes(dir_ / "clock.PNG"), kPngMagic));

    // --format wins over the extension; the name is kept as given.
    RunResult gif = RunTavro({"convert", Raw("menu_music.k"), dir_ / "music.bmp", "--format", "gif"});
    ASSERT_EQ(gif.exitCode, 0) << gif.err;
    EXPECT_TRUE(StartsWith(ReadBytes(dir_ / "music.bmp"), "GIF8"));

    // A .g takes the extension of its content, and the printed path says so.
    RunResult g = RunTavro({"convert", Raw("logo.g"), dir_ / "logo.bmp"});
    ASSERT_EQ(g.exitCode, 0) << g.err;
    EXPECT_EQ(g.out, dir_ / "logo.png\n");
    EXPECT_EQ(ReadBytes(dir_ / "logo.png"), ReadBytes(Raw("logo.g")));

    RunResult raw = RunTavro({"convert", Raw("wallpaper(48x32).raw"), dir_ / "w.bmp"});
    ASSERT_EQ(raw.exitCode, 0) << raw.err;
    EXPECT_TRUE(StartsWith(ReadBytes(dir_ / "w.bmp"), "BM"));
}

TEST_F(CliConvert, EncodesIntoTheHandsetFormAndPrintsTheNameWritten) {
    RunResult k32 = RunTavro({"convert", Icon("glow_orb.bmp"), dir_ / "orb.bmp", "--handset", "k32"});
    ASSERT_EQ(k32.exitCode, 0) << k32.err;
    EXPECT_EQ(k32.out, dir_ / "orb.k\n");
    EXPECT_EQ(ReadBytes(dir_ / "orb.k"), ReadBytes(Raw("glow_orb.k")));

    RunResult k18 = RunTavro({"convert", Icon("title_bar.bmp"), dir_ / "bar", "--handset", "k18-nomask"});
    ASSERT_EQ(k18.exitCode, 0) << k18.err;
    EXPECT_EQ(ReadBytes(dir_ / "bar.k"), ReadBytes(Raw("title_bar.k")));

    // A PNG becomes a .g copy whatever mode was asked.
    RunResult g = RunTavro({"convert", Icon("logo.png"), dir_ / "logo.k", "--handset", "k18"});
    ASSERT_EQ(g.exitCode, 0) << g.err;
    EXPECT_EQ(g.out, dir_ / "logo.g\n");
    EXPECT_EQ(ReadBytes(dir_ / "logo.g"), ReadBytes(Raw("logo.g")));
}

TEST_F(CliConvert, FailuresExitOneNamingTheFile) {
    RunResult missing = RunTavro({"convert", dir_ / "none.k", dir_ / "a.bmp"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "tavro: " + dir_ / "none.k" + ": File not found\n");

    RunResult notHandset = RunTavro({"convert", Icon("clock.bmp"), dir_ / "a.png"});
    EXPECT_EQ(notHandset.exitCode, 1);
    EXPECT_TRUE(Contains(notHandset.err, "clock.bmp: not a handset picture"));

    WriteText(dir_ / "nosize.raw", "");
    RunResult noSize = RunTavro({"convert", dir_ / "nosize.raw", dir_ / "a.png"});
    EXPECT_EQ(noSize.exitCode, 1);
    EXPECT_TRUE(Contains(noSize.err, "nosize.raw: the name gives no picture size"));

    RunResult notPicture = RunTavro({"convert", Raw("theme.cfg"), dir_ / "t.k", "--handset", "k18"});
    EXPECT_EQ(notPicture.exitCode, 1);
    EXPECT_TRUE(Contains(notPicture.err, "theme.cfg: "));

    WriteText(dir_ / "file", "");
    RunResult unwritable = RunTavro({"convert", Raw("clock.k"), dir_ / "file/clock.bmp"});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_TRUE(Contains(unwritable.err, "file/clock.bmp: File not found"));
    EXPECT_EQ(unwritable.out, "");
}

TEST_F(CliConvert, ConvertAllRunsBothDirectionsAndCounts) {
    RunResult toStandard = RunTavro({"convert-all", sample_->Path() + "raws", dir_ / "std", "--to", "standard",
                                     "--format", "png"});
    ASSERT_EQ(toStandard.exitCode, 0) << toStandard.err;
    // 27 .k and 7 .g; the .raw and the .cfg are not among the masks.
    EXPECT_EQ(toStandard.out, "34 converted, 0 passed over\n");
    EXPECT_TRUE(StartsWith(ReadBytes(dir_ / "std/clock.png"), kPngMagic));
    EXPECT_TRUE(StartsWith(ReadBytes(dir_ / "std/busy.gif"), "GIF8"));

    WriteText(dir_ / "std/broken.bmp", "not a bitmap");
    RunResult toHandset = RunTavro({"convert-all", dir_ / "std", dir_ / "std", "--to", "handset"});
    ASSERT_EQ(toHandset.exitCode, 0) << toHandset.err;
    EXPECT_EQ(toHandset.out, "34 converted, 1 passed over\n");
    EXPECT_EQ(ReadBytes(dir_ / "std/busy.g"), ReadBytes(Raw("busy.g")));
    EXPECT_TRUE(Exists(dir_ / "std/clock.g"));  // a PNG always becomes a .g

    RunResult missing = RunTavro({"convert-all", dir_ / "none", dir_ / "out", "--to", "standard"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "tavro: " + dir_ / "none" + ": File not found\n");
    EXPECT_FALSE(Exists(dir_ / "out"));
}

}  // namespace
}  // namespace tavro::test
