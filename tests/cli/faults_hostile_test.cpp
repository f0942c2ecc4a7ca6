// Pictures found by fuzzing whose few bytes announce millions of pixels: the
// program must refuse them before decoding (a decode takes seconds and hundreds of
// MiB), not decode them and refuse the result. The two refusals differ in their words.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/runtavro.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

TEST(CliHostileInput, PicturesAnnouncingMillionsOfPixelsAreRefusedBeforeDecoding) {
    const std::filesystem::path folder = std::string(TAVRO_TEST_DATA) + "/fuzz/kwrite";
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        TempDir dir;
        // Under a .bmp name: the loader goes by content, and a .gif name would be
        // copied into a .g without decoding.
        WriteBytes(dir / "src.bmp", ReadBytes(entry.path().string()));
        RunResult r = RunTavro({"convert", dir / "src.bmp", dir / "out.k", "--handset", "k18"});
        EXPECT_EQ(r.exitCode, 1) << entry.path();
        EXPECT_NE(r.err.find("cannot be loaded"), std::string::npos) << entry.path() << ": " << r.err;
        EXPECT_FALSE(Exists(dir / "out.k")) << entry.path();
        ++seen;
    }
    EXPECT_GE(seen, 3);
}

}  // namespace
}  // namespace tavro::test
