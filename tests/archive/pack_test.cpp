// Packing: the worked examples byte for byte, which icons make it into the archive
// and in what order, the sinks, and failures that leave an existing archive alone.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <random>

#include "archive/pack.h"
#include "archive_fixture.h"
#include "imaging/errors.h"

namespace tavro {
namespace {

using test::Bytes;
using test::Record;
using test::Recorder;

class PackTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(dir / "f/icons"); }

    void Folder(const Bytes& header, const Bytes& structure) {
        test::WriteBytes(dir / "f/iconres.hdr", header);
        test::WriteBytes(dir / "f/iconres.dat", structure);
    }
    void Icon(const std::string& name, const Bytes& bytes) { test::WriteBytes(dir / "f/icons/" + name, bytes); }
    // A folder of one icon, a.png, whose record makes it a.g; it packs to OneIconArchive().
    void OneIcon(const Bytes& header = test::HeaderText(24)) {
        Folder(header, test::StructureFile(1, {{0, "a.g", "a.png", pkG, 0, 1}}));
        Icon("a.png", Png("a"));
    }
    static Bytes OneIconArchive() { return test::BuildArchive(test::HeaderText(24), {{"a.g", Png("a"), 1}}); }
    PackResult Pack() { return PackArchive(dir / "f/", dir / "out.ezx", rec, rec); }
    Bytes Output() { return test::ReadBytes(dir / "out.ezx"); }

    // Packs and expects the error type; returns its text.
    template <typename Error>
    std::string PackFails() {
        const auto e = test::Caught<Error>([&] { Pack(); });
        EXPECT_TRUE(e) << "no error";
        return e ? e->what() : "";
    }

    static Bytes Png(const std::string& tag) { return test::ToBytes("\x89PNG\r\n\x1a\n" + tag); }

    test::TempDir dir;
    Recorder rec;
};

TEST_F(PackTest, WorkedExampleHeaderOf1575AndTenBytesOfNames) {
    const Bytes header = test::HeaderText(1575);
    // Slot 1 is empty; the names "a.g\n" and "bcd.g\n" take 10 bytes.
    Folder(header, test::StructureFile(3, {{0, "bcd.g", "bcd.png", pkG, 0, 10},
                                           test::EmptyRecord(1),
                                           {2, "a.g", "a.png", pkK18Masked, 0, 20}}));
    Icon("bcd.png", Png("bcd"));
    Icon("a.png", Png("a"));  // a PNG becomes a .g copy whatever the record's kind

    EXPECT_EQ(Pack(), PackResult::Packed);
    const Bytes out = Output();
    EXPECT_EQ(test::TextAt(out, 16, 8), "00000634");
    EXPECT_EQ(test::TextAt(out, 1575, 10), "a.g\nbcd.g\n");
    EXPECT_EQ(Bytes(out.begin() + 1585, out.begin() + 1588), Bytes(3, 0));
    EXPECT_EQ(test::WordAt(out, 1588), 0xABCDDCBAu);
    EXPECT_EQ(test::WordAt(out, 1592), 1575u);
    EXPECT_EQ(test::WordAt(out, 1596), 3u);
    EXPECT_EQ(test::WordAt(out, 1600), 1608u);
    EXPECT_EQ(test::WordAt(out, 1604), 1608u + 36);
    EXPECT_EQ(Bytes(out.begin() + 1620, out.begin() + 1632), Bytes(12, 0xFF));  // slot 1
    EXPECT_EQ(out, test::BuildArchive(header, {{"bcd.g", Png("bcd"), 10}, {}, {"a.g", Png("a"), 20}}));

    EXPECT_EQ(rec.log, (std::vector<std::string>{"show", "caption:Searching for files",
                                                 "caption:Retrieving skin structure", "pos:0", "pos:100", "pos:0",
                                                 "caption:Packing icons", "pos:0", "pos:100", "close"}));
    // The pack folder is only read; the conversion folder is gone.
    EXPECT_EQ(test::FolderNames(dir / "f"), (std::vector<std::string>{"iconres.dat", "iconres.hdr", "icons"}));
    EXPECT_EQ(test::FolderNames(dir / "f/icons"), (std::vector<std::string>{"a.png", "bcd.png"}));
    EXPECT_EQ(test::FolderNames(dir.Path()), (std::vector<std::string>{"f", "out.ezx"}));
}

TEST_F(PackTest, WorkedExampleTwoSlotArchiveOf115Bytes) {
    Folder(test::HeaderText(55),
           test::StructureFile(2, {{0, "a.g", "a.unk", pkG, HashName("a.unk"), 0x1234}, test::EmptyRecord(1)}));
    Icon("a.unk", test::ToBytes("xyz"));
    EXPECT_EQ(Pack(), PackResult::Packed);
    const Bytes out = Output();
    EXPECT_EQ(out.size(), 115u);
    EXPECT_EQ(test::TextAt(out, 16, 8), "0000003c");
    EXPECT_EQ(out, test::BuildArchive(test::HeaderText(55), {{"a.g", test::ToBytes("xyz"), 0x1234}, {}}));
}

TEST_F(PackTest, NoSlotsSkipsEveryIcon) {
    Folder(test::HeaderText(30), test::StructureFile(0, {}));
    Icon("a.png", Png("a"));
    EXPECT_EQ(Pack(), PackResult::Packed);
    Bytes expected = test::HeaderText(30);
    std::copy_n("00000020", 8, expected.begin() + 16);
    expected.push_back(0);
    expected.push_back(0);
    for (std::uint32_t w : {0xABCDDCBAu, 30u, 0u, 52u, 52u}) test::AppendU32(expected, w);
    EXPECT_EQ(Output(), expected);
}

TEST_F(PackTest, IconsWithoutAUsableRecordAddNothing) {
    const Bytes header = test::HeaderText(24);
    Icon("k.png", Png("k"));
    Icon("B.png", Png("B"));        // differs from its record only in case
    Icon("c.bmp", Png("c"));        // a record of kind 5
    Icon("extra.png", Png("e"));    // no record
    Icon("[]", Png("[]"));          // the names of an empty slot's record
    Icon(".stray.png", Png("h"));   // hidden, and no record names it
    Folder(header, test::StructureFile(6, {{0, "k.g", "k.png", pkG, 0, 1},
                                           {1, "b.g", "b.png", pkG, 0, 2},
                                           {2, "c.txt", "c.bmp", pkOther, 0, 3},
                                           test::EmptyRecord(3),
                                           {4, "h.g", ".hidden.png", pkG, 0, 5},
                                           {5, "y.g", "k.png", pkG, 0, 6}}));  // the icon goes to the first
    std::filesystem::create_directory(dir / "f/icons/sub.png");
    Pack();
    EXPECT_EQ(Output(), test::BuildArchive(header, {{"k.g", Png("k"), 1}, {}, {}, {}, {}, {}}));
    // Every listed file counts for the progress bar, skipped ones included.
    EXPECT_EQ(rec.Only("pos:").size(), 5u + 1 + 1);
}

// A .raw picture and an entry that is no picture have no writer: they come back from
// raws/ unchanged, in their place in the name order, and raws/ keeps them.
TEST_F(PackTest, EntriesWithoutWriterComeFromRaws) {
    const Bytes header = test::HeaderText(24);
    Folder(header, test::StructureFile(5, {{0, "sky(2x1).raw", "sky(2x1).bmp", pkRaw, 0, 10},
                                           {1, "b.g", "b.png", pkG, 0, 11},
                                           {2, "theme.cfg", "theme.bmp", pkOther, 0, 12},
                                           {3, "gone.txt", "gone.bmp", pkOther, 0, 13},
                                           test::EmptyRecord(4)}));
    std::filesystem::create_directory(dir / "f/raws");
    const Bytes raw = {0xF8, 0x00, 0x07, 0xE0, 0x40};
    test::WriteBytes(dir / "f/raws/sky(2x1).raw", raw);
    test::WriteText(dir / "f/raws/theme.cfg", "colour=blue\n");
    std::string icon = dir / "f/icons/sky(2x1).bmp";  // unchanged: the copy is packed
    TPictureKind kind = pkOther;
    DecodePicture(dir / "f/raws/sky(2x1).raw", icon, tfBmp, kind);
    Icon("b.png", Png("b"));
    EXPECT_EQ(Pack(), PackResult::Packed);
    EXPECT_EQ(Output(), test::BuildArchive(header, {{"sky(2x1).raw", raw, 10},
                                                    {"b.g", Png("b"), 11},
                                                    {"theme.cfg", test::ToBytes("colour=blue\n"), 12},
                                                    {},
                                                    {}}));
    EXPECT_EQ(test::FolderNames(dir / "f/raws"), (std::vector<std::string>{"sky(2x1).raw", "theme.cfg"}));
    EXPECT_FALSE(test::Exists(dir / "f/conv"));

    // A record whose name would lead out of raws/ is refused.
    Folder(header, test::StructureFile(1, {{0, "../iconres.hdr", "x.bmp", pkOther, 0, 1}}));
    EXPECT_NE(PackFails<DataError>().find("slot 0 contains \"/\""), std::string::npos);
}

TEST_F(PackTest, OrderIsByRawNameWithTiesInListingOrder) {
    const Bytes header = test::HeaderText(24);
    Folder(header, test::StructureFile(3, {{0, "m.g", "b.png", pkG, 0, 1},
                                           {1, "m.g", "a.png", pkG, 0, 2},
                                           {2, "c.g", "c.png", pkG, 0, 3}}));
    Icon("a.png", Png("a"));
    Icon("b.png", Png("bb"));
    Icon("c.png", Png("ccc"));
    Pack();
    const Bytes out = Output();
    // The names written are the converted files' names, in RawName order.
    EXPECT_EQ(test::TextAt(out, 24, 12), "c.g\na.g\nb.g\n");
    const std::uint32_t table = 24 + 12 + 20;
    const std::uint32_t pngSize = 8;
    auto slot = [&](int i, int word) { return test::WordAt(out, table + 12 * i + 4 * word); };
    EXPECT_EQ(slot(2, 1), 0u);  // c first
    EXPECT_EQ(slot(1, 1), 4u);  // then a, listed before b
    EXPECT_EQ(slot(0, 1), 8u);
    EXPECT_EQ(slot(2, 2), 0u);
    EXPECT_EQ(slot(1, 2), 8 + pngSize + 3);
    EXPECT_EQ(slot(0, 2), 8 + pngSize + 3 + 8 + pngSize + 1);
    EXPECT_EQ(slot(0, 0), 1u);
    const std::uint32_t data = table + 36;
    EXPECT_EQ(test::WordAt(out, data), 0xDCBAABCDu);
    EXPECT_EQ(test::WordAt(out, data + 4), pngSize + 3);
    EXPECT_EQ(test::TextAt(out, data + 8 + pngSize, 3), "ccc");
}

TEST_F(PackTest, SortByRawNameIsTheStableSelectionOrder) {
    std::mt19937 rng(11);
    std::vector<TConvRec> found(3000);
    for (std::uint32_t i = 0; i < found.size(); ++i) {
        found[i].RawName = rng() % 4 == 0 ? "" : std::string(1 + rng() % 3, static_cast<char>(0x7E + rng() % 4));
        found[i].SlotIndex = i;
    }
    // The selection sort packing is defined by: take the first strictly smallest.
    std::vector<std::uint32_t> rest(found.size());
    for (std::uint32_t i = 0; i < rest.size(); ++i) rest[i] = i;
    std::vector<std::uint32_t> expected;
    while (!rest.empty()) {
        std::size_t best = 0;
        for (std::size_t k = 0; k < rest.size(); ++k) {
            if (CompareRawNames(found[rest[k]], found[rest[best]]) == -1) best = k;
        }
        expected.push_back(rest[best]);
        rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(best));
    }
    EXPECT_EQ(SortByRawName(found), expected);

    TConvRec a;
    TConvRec b;
    a.RawName = "B.k";
    b.RawName = "a.k";
    EXPECT_EQ(CompareRawNames(a, b), -1);
    a.RawName = "a\x80";
    EXPECT_EQ(CompareRawNames(a, b), 1);
    a.RawName = "a.k";
    EXPECT_EQ(CompareRawNames(a, b), 0);
    a.RawName = "a.";
    EXPECT_EQ(CompareRawNames(a, b), -1);
}

TEST_F(PackTest, NothingToPack) {
    // No structure file: nothing written, nothing shown, the conversion folder gone.
    EXPECT_EQ(Pack(), PackResult::NoStructureFile);
    EXPECT_TRUE(rec.log.empty());
    EXPECT_EQ(test::FolderNames(dir / "f"), std::vector<std::string>{"icons"});

    // No icons: the progress window opens and closes.
    Folder(test::HeaderText(24), test::StructureFile(1, {{0, "a.g", "a.png", pkG, 0, 1}}));
    Icon(".hidden.png", Png("h"));
    EXPECT_EQ(Pack(), PackResult::NoIcons);
    EXPECT_EQ(rec.log, (std::vector<std::string>{"show", "caption:Searching for files",
                                                 "caption:Retrieving skin structure", "close"}));
    EXPECT_FALSE(test::Exists(dir / "out.ezx"));
    EXPECT_FALSE(test::Exists(dir / "f/conv"));
}

TEST_F(PackTest, ConvertedFileNameClashShowsNotFound) {
    // a.gif and a.png both become conv/a.g; copying the first deletes it.
    Folder(test::HeaderText(24), test::StructureFile(2, {{0, "p.g", "a.gif", pkG, 0, 1},
                                                         {1, "q.g", "a.png", pkG, 0, 2}}));
    Icon("a.gif", test::ToBytes("GIF89a"));
    Icon("a.png", Png("a"));
    test::WriteText(dir / "out.ezx", "old archive");
    EXPECT_EQ(PackFails<IoError>(), "File not open");
    EXPECT_EQ(rec.Only("notfound:"), std::vector<std::string>{"notfound:a.g"});
    EXPECT_EQ(rec.log.back(), "close");
    EXPECT_EQ(test::ReadBytes(dir / "out.ezx"), test::ToBytes("old archive"));
    EXPECT_EQ(test::FolderNames(dir.Path()), (std::vector<std::string>{"f", "out.ezx"}));
    EXPECT_FALSE(test::Exists(dir / "f/conv"));
}

TEST_F(PackTest, LeftoverConversionFolderIsReused) {
    OneIcon();
    std::filesystem::create_directory(dir / "f/conv");
    EXPECT_EQ(Pack(), PackResult::Packed);
    EXPECT_FALSE(test::Exists(dir / "f/conv"));  // it ended up empty

    std::filesystem::create_directory(dir / "f/conv");
    test::WriteText(dir / "f/conv/old.k", "left from an earlier run");
    test::WriteText(dir / "f/conv/a.g", "stale");
    EXPECT_EQ(Pack(), PackResult::Packed);
    EXPECT_EQ(Output(), OneIconArchive());
    EXPECT_EQ(test::FolderNames(dir / "f/conv"), std::vector<std::string>{"old.k"});

    // A file named conv cannot hold the converted icon: the error names it there.
    std::filesystem::remove_all(dir / "f/conv");
    test::WriteText(dir / "f/conv", "not a folder");
    const auto e = test::Caught<IoError>([&] { Pack(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Code(), ENOTDIR);
    EXPECT_EQ(e->Path(), dir / "f/conv/a.g");
}

// A failed packing leaves the archive the user pointed at as it was, and no
// temporary file beside it.
TEST_F(PackTest, FailureLeavesExistingOutputUntouched) {
    test::WriteText(dir / "out.ezx", "old archive");
    OneIcon();
    std::filesystem::remove(dir / "f/iconres.hdr");
    EXPECT_EQ(PackFails<IoError>(), "File not found");
    EXPECT_EQ(rec.log.back(), "close");
    EXPECT_EQ(test::ReadBytes(dir / "out.ezx"), test::ToBytes("old archive"));
    EXPECT_EQ(test::FolderNames(dir.Path()), (std::vector<std::string>{"f", "out.ezx"}));

    // Without an old archive, none appears.
    std::filesystem::remove(dir / "out.ezx");
    PackFails<IoError>();
    EXPECT_FALSE(test::Exists(dir / "out.ezx"));

    // A kind beyond the handset kinds has no writer: its converted file never appears.
    test::WriteText(dir / "out.ezx", "old archive");
    Folder(test::HeaderText(24), test::StructureFile(1, {{0, "p.k", "p.bmp", 7, 0, 1}}));
    Icon("p.bmp", test::ToBytes("BM"));
    EXPECT_EQ(PackFails<IoError>(), "File not found");
    EXPECT_EQ(test::ReadBytes(dir / "out.ezx"), test::ToBytes("old archive"));
    EXPECT_EQ(test::FolderNames(dir.Path()), (std::vector<std::string>{"f", "out.ezx"}));
    EXPECT_FALSE(test::Exists(dir / "f/conv"));
}

TEST_F(PackTest, OutputThroughALinkReplacesItsTargetKeepingItsMode) {
    OneIcon();
    std::filesystem::create_directory(dir / "real");
    test::WriteText(dir / "real/target.ezx", "old");
    ::chmod((dir / "real/target.ezx").c_str(), 0600);
    std::filesystem::create_symlink(dir / "real/target.ezx", dir / "out.ezx");
    EXPECT_EQ(Pack(), PackResult::Packed);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "out.ezx"));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "real/target.ezx").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(test::ReadBytes(dir / "real/target.ezx"), OneIconArchive());
    EXPECT_EQ(test::FolderNames(dir / "real"), std::vector<std::string>{"target.ezx"});
}

// Each refusal leaves an existing archive as it was and no conversion folder.
TEST_F(PackTest, InputsBeyondTheLimitsAreRefused) {
    const Bytes header = test::HeaderText(24);
    test::WriteText(dir / "out.ezx", "old archive");
    auto refused = [&](const std::string& words) {
        const std::string text = PackFails<DataError>();
        EXPECT_NE(text.find(words), std::string::npos) << text;
        EXPECT_EQ(test::ReadBytes(dir / "out.ezx"), test::ToBytes("old archive"));
        EXPECT_EQ(test::FolderNames(dir.Path()), (std::vector<std::string>{"f", "out.ezx"}));
        EXPECT_FALSE(test::Exists(dir / "f/conv"));
    };

    OneIcon(Bytes(header.begin(), header.end() - 1));  // the last digit of P has no room
    refused("too few");

    // Names that could not be read back: one byte over 99, and an LF.
    const std::string stem98(98, 's');
    Folder(header, test::StructureFile(1, {{0, stem98 + ".g", stem98 + ".png", pkG, 0, 1}}));
    Icon(stem98 + ".png", Png("a"));
    refused("at most 99");
    Folder(header, test::StructureFile(1, {{0, "l.g", "l\nf.png", pkG, 0, 1}}));
    Icon("l\nf.png", Png("a"));
    refused("LF");

    Folder(header, test::StructureFile(1, {{1, "a.g", "a.png", pkG, 0, 1}}));
    refused("names slot 1");

    Bytes cut = test::StructureFile(2, {{0, "a.g", "a.png", pkG, 0, 1}, {1, "b.g", "b.png", pkG, 0, 2}});
    cut.resize(cut.size() - 1);
    Folder(header, cut);
    refused("record 1 of 2 runs past the end");
    Bytes huge = test::StructureFile(1, {});
    test::AppendU32(huge, 0);
    test::AppendU32(huge, 0xFFFFFFF0);  // a RawName longer than the file
    Folder(header, huge);
    refused("record 0 of 1 runs past the end");
    Folder(header, Bytes{1, 0});
    refused("too short");

    Folder(header, test::StructureFile(65537, {}));
    refused("65537 slots");

    Bytes oversized = test::StructureFile(1, {{0, "a.g", "a.png", pkG, 0, 1}});
    oversized.resize((1 << 20) + 5);
    Folder(header, oversized);
    refused("more than 1048580");

    OneIcon(test::HeaderText(65537));
    refused("more than 65536");

    OneIcon();
    Bytes bigPicture = Png("a");
    bigPicture.resize((1 << 20) + 1);
    Icon("a.png", bigPicture);
    refused("more than 1048576");

    // At the limits: the longest header, and the longest name (stem + ".g" = 99 bytes).
    OneIcon(test::HeaderText(65536));
    EXPECT_EQ(Pack(), PackResult::Packed);
    EXPECT_EQ(test::TablePosition(Output()), 65536u + 4);
    const std::string stem97(97, 's');
    Folder(header, test::StructureFile(1, {{0, stem97 + ".g", stem97 + ".png", pkG, 0, 1}}));
    Icon(stem97 + ".png", Png("a"));
    EXPECT_EQ(Pack(), PackResult::Packed);
    EXPECT_EQ(Output(), test::BuildArchive(header, {{stem97 + ".g", Png("a"), 1}}));
}

}  // namespace
}  // namespace tavro
