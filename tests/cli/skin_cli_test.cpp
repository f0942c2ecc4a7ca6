// The commands that look at whole skins, end to end: what they print, write and
// exit with, good input and bad.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/runtavro.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

TEST(CliSkin, SheetAndDiffOutputsAndExitCodes) {
    TempDir dir;
    ASSERT_EQ(RunTavro({"unpack", SampleArchive(), dir / "f"}), Exited(0));
    ASSERT_EQ(RunTavro({"pack", dir / "f", dir / "same.ezx"}), Exited(0));
    WriteBytes(dir / "f/icons/star.bmp", ReadBytes(dir / "f/icons/lock.bmp"));
    WriteText(dir / "cut.ezx", "motoskin");
    std::filesystem::create_directories(dir / "nodat");
    const std::string same = "0 identical, 0 added, 0 removed, 0 changed\n";
    const struct {
        std::vector<std::string> args;
        RunResult expected;
    } cases[] = {
        {{"sheet", SampleArchive(), dir / "s.png"}, Exited(0, dir / "s.png\n")},
        {{"sheet", dir / "f", dir / "t.png", "--columns", "3", "--order", "slot", "--background", "#ffffff"},
         Exited(0, dir / "t.png\n")},
        {{"diff", SampleArchive(), dir / "same.ezx"}, Exited(0, "40 identical, 0 added, 0 removed, 0 changed\n")},
        {{"diff", SampleArchive(), dir / "f", "--sheet", dir / "d.png"},
         Exited(1, "slot 23  star.k  size 16x16 to 14x16\n39 identical, 0 added, 0 removed, 1 changed\nsheet: " +
                       dir / "d.png\n")},
        {{"diff", SampleArchive(), dir / "cut.ezx"},
         Exited(2, "", "tavro: " + dir / "cut.ezx" +
                           ": the archive is too short (8 bytes) to hold the table position at offset 16\n")},
        {{"check", dir / "nodat"}, Exited(1, "", "tavro: " + dir / "nodat/iconres.dat: no structure file; nothing written\n")},
        {{"sheet", dir / "none", dir / "n.png"}, Exited(1, "", "tavro: " + dir / "none" + ": File not found\n")},
        {{"sheet", dir / "same.ezx", dir / "same.ezx"},
         Exited(1, "", "tavro: " + dir / "same.ezx" + ": would write over the skin it shows (" + dir / "same.ezx" +
                           ")\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        EXPECT_EQ(RunTavro(c.args), c.expected);
    }
    // The check names the edit and, packing being possible, exits 0; a missing header
    // text fails it with packing's message.
    const RunResult checked = RunTavro({"check", dir / "f"});
    EXPECT_EQ(checked.exitCode, 0);
    EXPECT_TRUE(Contains(checked.out, "star.k                encoded again from icons/star.bmp into 18-bit .k with mask\n"
                                          "                             SIZE CHANGED 16x16 to 14x16\n"));
    std::filesystem::rename(dir / "f/iconres.hdr", dir / "hdr");
    EXPECT_TRUE(Contains(RunTavro({"check", dir / "f"}).err, "tavro: " + dir / "f/iconres.hdr: File not found\n"));
    for (const char* png : {"s.png", "t.png", "d.png"}) EXPECT_FALSE(LoadBitmap(dir / png).IsNull()) << png;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"sheet", "a", "b.png", "--background", "red"},
             {"sheet", "a", "b.png", "--columns", "0"},
             {"sheet", "a", "b.png", "--order", "size"},
             {"diff", "a"}}) {
        const RunResult r = RunTavro(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(Contains(r.err, "usage: tavro " + args[0]));
    }
}

}  // namespace
}  // namespace tavro::test
