// Extraction: the worked example byte for byte, the files and records per kind of
// slot, what the sinks see, and the refusals that keep bad archives from writing
// outside the target folder or past a buffer.
#include <gtest/gtest.h>

#include "archive/extract.h"
#include "archive/settings.h"
#include "archive_fixture.h"
#include "imaging/errors.h"

namespace tavro {
namespace {

using test::Bytes;
using test::Recorder;
using test::Slot;

class ExtractTest : public ::testing::Test {
protected:
    void SetUp() override { SetDefaultSettings(); }

    // Writes the archive and extracts it into the folder "out/" of the temp dir.
    void Extract(const Bytes& archive) {
        test::WriteBytes(dir / "iconres.ezx", archive);
        ExtractArchive(dir / "iconres.ezx", Out(), rec, rec, rec);
    }
    std::string Out() {
        std::filesystem::create_directories(dir / "out");
        return dir / "out/";
    }
    Bytes Dat() { return test::ReadBytes(dir / "out/iconres.dat"); }

    test::TempDir dir;
    Recorder rec;
};

// The 55-byte header text of the worked example: the fixed 24 bytes and 31 of text.
Bytes ExampleHeader() { return test::HeaderText(55); }

TEST_F(ExtractTest, WorkedExampleTwoSlots) {
    Bytes archive = ExampleHeader();
    test::AppendText(archive, "a.g\n");  // 55: the name and its LF
    archive.push_back(0);                // 59: one byte up to a multiple of 4
    const char* digits = "0000003c";     // P = 60
    std::copy(digits, digits + 8, archive.begin() + 16);
    test::AppendU32(archive, 0xABCDDCBA);  // 60: table header
    test::AppendU32(archive, 55);          //     names base
    test::AppendU32(archive, 2);           //     N
    test::AppendU32(archive, 80);          //     ID table offset
    test::AppendU32(archive, 104);         //     data base
    test::AppendU32(archive, 0x1234);      // 80: slot 0: ResourceId
    test::AppendU32(archive, 0);           //     name offset
    test::AppendU32(archive, 0);           //     data offset
    for (int k = 0; k < 3; ++k) test::AppendU32(archive, 0xFFFFFFFF);  // 92: slot 1, empty
    test::AppendU32(archive, 0xDCBAABCD);  // 104: data record
    test::AppendU32(archive, 3);
    test::AppendText(archive, "xyz");
    ASSERT_EQ(archive.size(), 115u);
    ASSERT_EQ(archive, test::BuildArchive(ExampleHeader(), {{"a.g", test::ToBytes("xyz"), 0x1234}, {}}));

    Extract(archive);

    EXPECT_EQ(test::ReadBytes(dir / "out/iconres.hdr"), archive);  // shorter than 1575: all of it
    EXPECT_EQ(test::ReadBytes(dir / "out/raws/a.g"), test::ToBytes("xyz"));
    // Neither GIF nor PNG: the .g comes out as a .unk copy whatever the target.
    EXPECT_EQ(test::ReadBytes(dir / "out/icons/a.unk"), test::ToBytes("xyz"));
    EXPECT_EQ(test::FolderNames(dir / "out/icons"), std::vector<std::string>{"a.unk"});

    EXPECT_EQ(Dat(), test::StructureFile(2, {{0, "a.g", "a.unk", pkG, HashName("a.unk"), 0x1234},
                                             {1, "[]", "[]", pkOther, HashName("[]"), 0xFFFFFFFF}}));

    EXPECT_EQ(rec.log, (std::vector<std::string>{"show", "caption:Extracting icons", "append:a.g", "pos:0",
                                                 "pos:100", "select", "close"}));
    EXPECT_EQ(WorkFolder, dir / "out/");
}

TEST_F(ExtractTest, DigitsInEitherCaseAndWrongMagicWordsFindTheSameTable) {
    const std::vector<Slot> slots = {{}, {"b.txt", test::ToBytes("hello"), 9}, {"a.txt", test::ToBytes("hi"), 8}};
    test::ArchiveOptions upper;
    upper.upperCaseDigits = true;
    upper.tableMagic = 0;
    upper.dataMagic = 0x12345678;
    // Enough names to put a letter digit into P.
    Bytes header = test::HeaderText(170);
    Bytes a = test::BuildArchive(header, slots);
    Bytes b = test::BuildArchive(header, slots, upper);
    ASSERT_NE(a, b);
    ASSERT_NE(std::string(b.begin() + 16, b.begin() + 24), std::string(a.begin() + 16, a.begin() + 24));

    Extract(a);
    const Bytes datA = Dat();
    Recorder first = rec;
    rec = Recorder();
    Extract(b);  // over the first extraction: existing folders and files are fine
    EXPECT_EQ(Dat(), datA);
    EXPECT_EQ(rec.lines, first.lines);
    EXPECT_EQ(rec.lines, (std::vector<std::string>{"b.txt", "a.txt"}));
    EXPECT_EQ(test::ReadBytes(dir / "out/raws/b.txt"), test::ToBytes("hello"));
}

TEST_F(ExtractTest, NoSlots) {
    Extract(test::BuildArchive(test::HeaderText(30), {}));
    EXPECT_EQ(Dat(), Bytes(4, 0));
    EXPECT_TRUE(test::FolderNames(dir / "out/raws").empty());
    EXPECT_TRUE(test::FolderNames(dir / "out/icons").empty());
    EXPECT_EQ(rec.log, (std::vector<std::string>{"show", "caption:Extracting icons", "select", "close"}));
}

TEST_F(ExtractTest, OnlyEmptySlotsGive25ByteRecords) {
    Extract(test::BuildArchive(test::HeaderText(40), {{}, {}, {}}));
    std::vector<test::Record> empties;
    for (std::uint32_t i = 0; i < 3; ++i)
        empties.push_back({i, "[]", "[]", pkOther, HashName("[]"), 0xFFFFFFFF});
    const Bytes dat = Dat();
    ASSERT_EQ(dat.size(), 4u + 3 * 25);  // slot, two lengths, "[]" twice, kind, hash, ResourceId
    EXPECT_EQ(dat, test::StructureFile(3, empties));
    EXPECT_TRUE(rec.lines.empty());
    EXPECT_TRUE(test::FolderNames(dir / "out/raws").empty());
    EXPECT_EQ(rec.Only("pos:"), (std::vector<std::string>{"pos:0", "pos:50", "pos:100"}));
}

TEST_F(ExtractTest, NonPictureAndGifEntries) {
    AppSettings.TargetFormat = tfPng;
    const Bytes gif = test::ToBytes("GIF89a-rest-of-a-gif");
    Extract(test::BuildArchive(test::HeaderText(24), {{"readme.txt", test::ToBytes("text"), 1}, {"pic.G", gif, 2}}));

    // Copied and listed, recorded with the target extension, never decoded.
    EXPECT_EQ(test::ReadBytes(dir / "out/raws/readme.txt"), test::ToBytes("text"));
    // The content decides: GIF8 gives .gif although the target is PNG.
    EXPECT_EQ(test::ReadBytes(dir / "out/icons/pic.gif"), gif);
    EXPECT_EQ(test::FolderNames(dir / "out/icons"), std::vector<std::string>{"pic.gif"});

    EXPECT_EQ(Dat(),
              test::StructureFile(2, {{0, "readme.txt", "readme.png", pkOther, HashName("readme.png"), 1},
                                      {1, "pic.G", "pic.gif", pkG, HashName("pic.gif"), 2}}));
    EXPECT_EQ(rec.lines, (std::vector<std::string>{"readme.txt", "pic.G"}));
}

TEST_F(ExtractTest, DuplicateNamesKeepEveryLineAndRecordAndTheLaterFile) {
    // Two slots with one name: the builder lays their data out in slot order.
    Extract(test::BuildArchive(test::HeaderText(24), {{"x.txt", test::ToBytes("first"), 1},
                                                      {"x.txt", test::ToBytes("second"), 2}}));
    EXPECT_EQ(test::ReadBytes(dir / "out/raws/x.txt"), test::ToBytes("second"));
    EXPECT_EQ(rec.lines, (std::vector<std::string>{"x.txt", "x.txt"}));
    const Bytes dat = Dat();
    EXPECT_EQ(test::WordAt(dat, 0), 2u);
    EXPECT_EQ(dat.size(), 4u + 2 * (21 + 5 + 5));
}

TEST_F(ExtractTest, HeaderCopyIsAlwaysTheFirst1575Bytes) {
    const Bytes archive = test::BuildArchive(test::HeaderText(2000), {{"a.txt", test::ToBytes("abc"), 1}});
    Extract(archive);
    EXPECT_EQ(test::ReadBytes(dir / "out/iconres.hdr"), Bytes(archive.begin(), archive.begin() + 1575));
    EXPECT_EQ(test::ReadBytes(dir / "out/raws/a.txt"), test::ToBytes("abc"));
}

TEST_F(ExtractTest, MissingArchiveWritesNothing) {
    const auto e = test::Caught<IoError>([&] { ExtractArchive(dir / "none.ezx", Out(), rec, rec, rec); });
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->what(), "File not found");
    EXPECT_TRUE(test::FolderNames(dir / "out").empty());
    EXPECT_EQ(rec.log, (std::vector<std::string>{"show", "caption:Extracting icons", "close"}));
}

TEST_F(ExtractTest, RawCopyThatCannotBeCreatedShowsErrorBox) {
    Out();
    test::WriteText(dir / "out/raws", "a file where the folder should be");
    const auto e = test::Caught<IoError>([&] {
        Extract(test::BuildArchive(test::HeaderText(24), {{"a.txt", test::ToBytes("abc"), 1}}));
    });
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->what(), "File not open");
    EXPECT_EQ(e->Path(), dir / "out/raws/a.txt");
    EXPECT_EQ(rec.Only("error:"), std::vector<std::string>{"error:" + dir / "out/raws/a.txt"});
    EXPECT_EQ(rec.log.back(), "close");
    // The structure file was created before the slots and stays empty.
    EXPECT_EQ(Dat(), Bytes());
}

TEST_F(ExtractTest, DataAndNamesPastTheEndAreShortReads) {
    Bytes archive = test::BuildArchive(test::HeaderText(24), {{"a.txt", test::ToBytes("0123456789"), 1},
                                                              {"b.txt", test::ToBytes("xy"), 2}});
    // Cut the archive inside a.txt's data: b's record is gone, a's is short.
    const std::uint32_t p = test::TablePosition(archive);
    const std::uint32_t base = test::WordAt(archive, p + 16);
    archive.resize(base + 8 + 4);
    // Slot 1's name offset now points past the end.
    const std::uint32_t table = test::WordAt(archive, p + 12);
    archive[table + 12 + 4] = 0x00;
    archive[table + 12 + 5] = 0x10;
    Extract(archive);
    EXPECT_EQ(test::ReadBytes(dir / "out/raws/a.txt"), test::ToBytes("0123"));
    EXPECT_EQ(test::FolderNames(dir / "out/raws"), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(rec.lines, std::vector<std::string>{"a.txt"});
    EXPECT_EQ(Dat(), test::StructureFile(2, {{0, "a.txt", "a.bmp", pkOther, HashName("a.bmp"), 1},
                                             {1, "[]", "[]", pkOther, HashName("[]"), 2}}));
}

// Names that would leave raws/ or icons/, or overwrite the companion files.
TEST_F(ExtractTest, UnsafeNamesStopWithDataErrorAndWriteNothingOutside) {
    const std::vector<std::string> names = {"../evil.txt", "..", ".", "sub/x.txt", std::string("a\0b.txt", 7)};
    for (const std::string& bad : names) {
        SCOPED_TRACE(bad);
        rec = Recorder();
        std::filesystem::remove_all(dir / "out");
        const auto e = test::Caught<DataError>([&] {
            Extract(test::BuildArchive(test::HeaderText(24),
                                       {{"ok.txt", test::ToBytes("1"), 1}, {bad, test::ToBytes("2"), 2}}));
        });
        ASSERT_TRUE(e);
        EXPECT_NE(std::string(e->what()).find("slot 1"), std::string::npos) << e->what();
        EXPECT_EQ(e->Path(), dir / "iconres.ezx");
        EXPECT_EQ(test::FolderNames(dir.Path()), (std::vector<std::string>{"iconres.ezx", "out"}));
        EXPECT_EQ(test::FolderNames(dir / "out"),
                  (std::vector<std::string>{"iconres.dat", "iconres.hdr", "icons", "raws"}));
        EXPECT_EQ(test::FolderNames(dir / "out/raws"), std::vector<std::string>{"ok.txt"});
        EXPECT_EQ(rec.log.back(), "close");
    }
}

TEST_F(ExtractTest, ArchivesBeyondTheLimitsAreRefused) {
    auto expectRefused = [&](const Bytes& archive, const std::string& words) {
        rec = Recorder();
        const auto e = test::Caught<DataError>([&] { Extract(archive); });
        ASSERT_TRUE(e) << "no error for " << words;
        EXPECT_NE(std::string(e->what()).find(words), std::string::npos) << e->what();
        EXPECT_EQ(rec.log.back(), "close");
    };

    // More than 65,536 slots.
    Bytes many = test::BuildArchive(test::HeaderText(24), {});
    many[24 + 8] = 0x01;
    many[24 + 10] = 0x01;  // N = 65537
    expectRefused(many, "65537 slots");

    // A picture over 1 MiB.
    Bytes big = test::BuildArchive(test::HeaderText(24), {{"a.txt", test::ToBytes("x"), 1}});
    const std::uint32_t base = test::WordAt(big, test::TablePosition(big) + 16);
    big[base + 4] = 0x01;
    big[base + 5] = 0x00;
    big[base + 6] = 0x10;  // S = 0x100001
    expectRefused(big, "more than 1048576");

    // A name without LF in its first 100 bytes; 99 bytes and an LF are fine.
    const std::string longest(99, 'n');
    Extract(test::BuildArchive(test::HeaderText(24), {{longest, test::ToBytes("x"), 1}}));
    EXPECT_EQ(rec.lines, std::vector<std::string>{longest});
    expectRefused(test::BuildArchive(test::HeaderText(24), {{longest + "n", test::ToBytes("x"), 1}}),
                  "no LF in its first 100 bytes");

    // Too short to hold the digits; a table header or ID table past the end.
    expectRefused(test::ToBytes("motoskin\n\nv1.00\n0000"), "too short");
    Bytes farTable = test::BuildArchive(test::HeaderText(24), {});
    farTable[16] = '1';
    expectRefused(farTable, "past the end");
    Bytes cutTable = test::BuildArchive(test::HeaderText(24), {{"a.txt", {}, 1}, {"b.txt", {}, 2}});
    cutTable.resize(24 + 12 + 20 + 12 + 4);
    expectRefused(cutTable, "runs past the end");

    // Structure records over 1 MiB: 41,944 empty slots of 25 bytes each.
    Bytes header = test::HeaderText(24);
    Bytes empties = test::BuildArchive(header, std::vector<Slot>(41944));
    expectRefused(empties, "structure records");
    Bytes fits = test::BuildArchive(header, std::vector<Slot>(41943));
    Extract(fits);
    EXPECT_EQ(Dat().size(), 4u + 41943u * 25);
}

}  // namespace
}  // namespace tavro
