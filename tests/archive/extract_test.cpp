// Extraction: what each kind of archive leaves in the target folder, every target
// format, and the refusals that keep bad archives from writing outside the target
// folder or past a buffer.
#include "archive/extract.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "archive/format.h"
#include "imaging/errors.h"
#include "imaging/standard.h"
#include "support/faultrun.h"

namespace tavro::test {
namespace {

class ExtractTest : public ::testing::Test {
protected:
    // Writes the archive and extracts it into the folder "out/" of the temp dir.
    void Extract(const Bytes& archive) {
        WriteBytes(dir / "iconres.ezx", archive);
        std::filesystem::create_directories(dir / "out");
        rec = Recorder();
        ExtractArchive(dir / "iconres.ezx", dir / "out/", format, rec, rec, rec);
    }
    TTargetFormat format = tfBmp;  // of the icons
    Bytes Out(const std::string& name) { return ReadBytes(dir / ("out/" + name)); }
    void ExpectFiles(const std::string& folder, const Files& files) {
        std::vector<std::string> names;
        for (const auto& [name, bytes] : files) {
            names.push_back(name);
            EXPECT_EQ(Out(folder + name), bytes) << name;
        }
        EXPECT_EQ(FolderNames(dir / ("out/" + folder)), names);
    }

    TempDir dir;
    Recorder rec;
};

// The raw copies, icons, list lines and structure records each archive leaves; the
// header copy is always the archive's first 1575 bytes.
TEST_F(ExtractTest, WhatEachArchiveLeaves) {
    const Bytes h = HeaderText(24);
    const Bytes gif = ToBytes("GIF89a-rest-of-a-gif");
    ArchiveOptions odd;
    odd.upperCaseDigits = true;
    odd.tableMagic = 0;
    odd.dataMagic = 0x12345678;
    Bytes cut = BuildArchive(h, {{"a.txt", ToBytes("0123456789"), 1}, {"b.txt", ToBytes("xy"), 2}});
    const std::uint32_t p = TablePosition(cut);
    cut[WordAt(cut, p + 12) + 12 + 5] = 0x10;  // slot 1's name offset past the end
    cut.resize(WordAt(cut, p + 16) + 8 + 4);   // the end inside a.txt's data
    const std::string longest(99, 'n');        // 99 bytes and an LF fit in 100
    auto other = [](std::uint32_t slot, const std::string& raw, const std::string& icon, std::uint32_t id) {
        return Record{slot, raw, icon, pkOther, HashName(icon), id};
    };
    struct Case {
        const char* what;
        Bytes archive;
        Files raws, icons;
        std::vector<std::string> lines;
        Bytes dat;
        TTargetFormat target = tfBmp;
    };
    const Case cases[] = {
        {"no slots", BuildArchive(HeaderText(30), {}), {}, {}, {}, Bytes(4, 0)},
        // Enough names to put a letter digit into P.
        {"upper-case digits, wrong magic words",
         BuildArchive(HeaderText(170), {{}, {"b.txt", ToBytes("hello"), 9}, {"a.txt", ToBytes("hi"), 8}}, odd),
         {{"a.txt", ToBytes("hi")}, {"b.txt", ToBytes("hello")}}, {}, {"b.txt", "a.txt"},
         StructureFile(3, {EmptyRecord(0), other(1, "b.txt", "b.bmp", 9), other(2, "a.txt", "a.bmp", 8)})},
        // Not decoded but recorded with the target's extension; a .G by its content.
        {"non-picture and GIF", BuildArchive(h, {{"readme.txt", ToBytes("text"), 1}, {"pic.G", gif, 2}}),
         {{"pic.G", gif}, {"readme.txt", ToBytes("text")}}, {{"pic.gif", gif}}, {"readme.txt", "pic.G"},
         StructureFile(2, {other(0, "readme.txt", "readme.png", 1), {1, "pic.G", "pic.gif", pkG, 0x1748, 2}}), tfPng},
        // The later slot would replace the earlier one's files: it is left out, and
        // recorded empty so that packing leaves it empty rather than give it slot 0's.
        {"duplicate names: the first slot's files and line, the later one empty",
         BuildArchive(h, {{"x.txt", ToBytes("first"), 1}, {"x.txt", ToBytes("second"), 2}}),
         {{"x.txt", ToBytes("first")}}, {}, {"x.txt"},
         StructureFile(2, {other(0, "x.txt", "x.bmp", 1), EmptyRecord(1, 2)})},
        {"data and names past the end are short reads", cut, {{"a.txt", ToBytes("0123")}}, {}, {"a.txt"},
         StructureFile(2, {other(0, "a.txt", "a.bmp", 1), EmptyRecord(1, 2)})},
        // Three bytes of header read as zeros: depth 0 is the 32-bit variant, which does not decode.
        {"a picture that does not decode", BuildArchive(HeaderText(55), {{"a.k", ToBytes("xyz"), 7}, {}}),
         {{"a.k", ToBytes("xyz")}}, {}, {"a.k"},
         StructureFile(2, {{0, "a.k", "a.bmp", pkK32, 0x642, 7}, EmptyRecord(1)})},
        {"a long header and the longest name", BuildArchive(HeaderText(2000), {{longest, ToBytes("abc"), 1}}),
         {{longest, ToBytes("abc")}}, {}, {longest}, StructureFile(1, {other(0, longest, longest + ".bmp", 1)})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir / "out");
        format = c.target;
        Extract(c.archive);
        const std::size_t copied = std::min<std::size_t>(1575, c.archive.size());
        EXPECT_EQ(Out("iconres.hdr"), Bytes(c.archive.begin(), c.archive.begin() + static_cast<long>(copied)));
        ExpectFiles("raws/", c.raws);
        ExpectFiles("icons/", c.icons);
        EXPECT_EQ(rec.lines, c.lines);
        EXPECT_EQ(Out("iconres.dat"), c.dat);
    }
}

// Each target format by its index in the format tables: the icon's extension, its
// content, and its record's name. JPEG has no alpha: it keeps the colour under it.
TEST_F(ExtractTest, IconsComeInTheTargetFormat) {
    // 2 x 1 at 18 bits, both red 48, green 16, blue 8 (08 04 03), 2 bytes of padding;
    // a mask row where pixel 1 alone is opaque.
    const Bytes k = KFile(2, 1, 18, 8, {0x08, 0x04, 0x03, 0x08, 0x04, 0x03, 0, 0, 0x02, 0, 0, 0});
    const std::tuple<TTargetFormat, std::string, std::string> cases[] = {
        {tfGif, "p.gif", "GIF89a"}, {tfPng, "p.png", "\x89PNG"}, {tfBmp, "p.bmp", "BM"},
        {tfJpeg, "p.jpg", "\xFF\xD8\xFF"}};
    for (const auto& [target, icon, magic] : cases) {
        SCOPED_TRACE(icon);
        std::filesystem::remove_all(dir / "out");
        format = target;
        Extract(BuildArchive(HeaderText(24), {{"p.k", k, 1}}));
        ASSERT_EQ(FolderNames(dir / "out/icons"), std::vector<std::string>{icon});
        EXPECT_TRUE(ReadText(dir / ("out/icons/" + icon)).starts_with(magic));
        EXPECT_EQ(Out("iconres.dat"), StructureFile(1, {{0, "p.k", icon, pkK18Masked, HashName(icon), 1}}));
        const Bitmap b = LoadBitmap(dir / ("out/icons/" + icon));
        ASSERT_EQ(b.Width(), 2);
        EXPECT_EQ(AlphaOf(b.GetPixel(0, 0)), target == tfJpeg ? 255u : 0u);
        for (int x = target == tfJpeg ? 0 : 1; x < 2; ++x)
            for (auto [got, want] : {std::pair{RedOf(b.GetPixel(x, 0)), 192}, {GreenOf(b.GetPixel(x, 0)), 64},
                                     {BlueOf(b.GetPixel(x, 0)), 32}, {AlphaOf(b.GetPixel(x, 0)), 255}})
                EXPECT_NEAR(got, want, 6) << x;
    }
}

// Each refusal names the archive and the reason, closes the progress window, and
// leaves the folder of an earlier unpacking byte for byte as it was.
TEST_F(ExtractTest, BadArchivesAreRefusedWithTheReason) {
    const Bytes h = HeaderText(24);
    std::vector<std::tuple<Bytes, std::string, ErrorCause>> cases;
    const std::vector<std::string> unsafe = {"../evil.txt", "..", ".", "sub/x.txt", std::string("a\0b.txt", 7)};
    for (const std::string& bad : unsafe)
        cases.push_back({BuildArchive(h, {{"ok.txt", ToBytes("1"), 1}, {bad, ToBytes("2"), 2}}), "slot 1",
                         ErrorCause::UnsafeName});
    Bytes many = BuildArchive(h, {});
    many[24 + 8] = 0x01, many[24 + 10] = 0x01;  // N = 65537
    cases.push_back({many, "65537 slots", ErrorCause::BeyondLimit});
    Bytes big = BuildArchive(h, {{"a.txt", ToBytes("x"), 1}});
    const std::uint32_t base = WordAt(big, TablePosition(big) + 16);
    big[base + 4] = 0x01, big[base + 5] = 0x00, big[base + 6] = 0x10;  // S = 0x100001
    cases.push_back({big, "more than 1048576", ErrorCause::TooLarge});
    cases.push_back({BuildArchive(h, {{std::string(100, 'n'), ToBytes("x"), 1}}),
                     "no LF in its first 100 bytes", ErrorCause::BeyondLimit});
    cases.push_back({ToBytes("motoskin\n\nv1.00\n0000"), "too short", ErrorCause::Truncated});
    // Structure records over 1 MiB: 41,944 empty slots of 25 bytes each.
    cases.push_back({BuildArchive(h, std::vector<Slot>(41944)), "structure records", ErrorCause::TooLarge});
    Bytes garbage(100);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<std::uint8_t>(i * 37 + 11);
    cases.push_back({garbage, "past the end of the archive", ErrorCause::Truncated});
    Bytes cutTable = BuildArchive(h, {{"a.txt", ToBytes("x"), 1}, {"ok.txt", ToBytes("1"), 2}});
    cutTable.resize(WordAt(cutTable, TablePosition(cutTable) + 12) + 13);
    cases.push_back({cutTable, "runs past the end of the archive", ErrorCause::Truncated});
    std::filesystem::remove_all(dir / "out");
    Extract(BuildArchive(HeaderText(30), {{"ok.txt", ToBytes("earlier"), 1}, {"p.k", KFile(1, 1, 32, 4, {1, 2, 3, 4}), 2}}));
    const Files earlier = TreeFiles(dir / "out");
    for (const auto& [archive, words, cause] : cases) {
        SCOPED_TRACE(words);
        const auto e = Caught<DataError>([&] { Extract(archive); });
        ASSERT_TRUE(e);
        EXPECT_TRUE(Contains(e->what(), words));
        EXPECT_EQ(e->Cause(), cause);
        EXPECT_EQ(e->Path(), dir / "iconres.ezx");
        EXPECT_EQ(rec.log.back(), "close");
        EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"iconres.ezx", "out"}));
        EXPECT_EQ(TreeFiles(dir / "out"), earlier);
    }
    std::filesystem::remove_all(dir / "out");
    Extract(BuildArchive(h, std::vector<Slot>(41943)));
    EXPECT_EQ(Out("iconres.dat").size(), 4u + 41943u * 25);
}

}  // namespace
}  // namespace tavro::test
