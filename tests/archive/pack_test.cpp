// Packing: the worked example byte for byte, which icons and raw copies make it into
// the archive and in what order, and failures that name their cause and leave an
// existing archive as it was.
#include "archive/pack.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>

#include "archive/check.h"
#include "archive/checkagrees.h"
#include "imaging/errors.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

Bytes Png(const std::string& tag) { return ToBytes("\x89PNG\r\n\x1a\n" + tag); }
// A structure file of one record, resource id 1.
Bytes One(const std::string& raw, const std::string& icon, std::uint8_t kind = pkG, std::uint32_t slot = 0) {
    return StructureFile(1, {{slot, raw, icon, kind, 0, 1}});
}

class PackTest : public ::testing::Test {
protected:
    void Folder(const Bytes& header, const Bytes& structure) {
        WriteBytes(dir / "f/iconres.hdr", header);
        WriteBytes(dir / "f/iconres.dat", structure);
    }
    void Icon(const std::string& name, const Bytes& bytes) { WriteBytes(dir / "f/icons/" + name, bytes); }
    // One icon, a.png, whose record makes it a.g.
    void OneIcon(const Bytes& header = HeaderText(24)) {
        Folder(header, One("a.g", "a.png"));
        Icon("a.png", Png("a"));
    }
    PackResult Pack() { return PackArchive(dir / "f/", dir / "out.ezx", rec, rec); }
    Bytes Output() { return ReadBytes(dir / "out.ezx"); }

    TempDir dir;
    Recorder rec;
};

TEST_F(PackTest, WorkedExampleHeaderOf1575AndTenBytesOfNames) {
    const Bytes header = HeaderText(1575);
    // Slot 1 is empty; the names "a.g\n" and "bcd.g\n" take 10 bytes.
    Folder(header, StructureFile(3, {{0, "bcd.g", "bcd.png", pkG, 0, 10}, EmptyRecord(1),
                                     {2, "a.g", "a.png", pkK18Masked, 0, 20}}));
    Icon("bcd.png", Png("bcd"));
    Icon("a.png", Png("a"));      // a PNG becomes a .g copy whatever the record's kind
    Icon("extra.png", Png("e"));  // no record: never packed, but counted by the progress bar
    EXPECT_EQ(Pack(), PackResult::Packed);
    // P = 1575 + 10 + 3 = 0x634; the table header, the ID table (slot 1 all FF), the data.
    EXPECT_EQ(Output(), BuildArchive(header, {{"bcd.g", Png("bcd"), 10}, {}, {"a.g", Png("a"), 20}}));
    EXPECT_EQ(rec.log, (std::vector<std::string>{"show", "caption:Searching for files",
                                                 "caption:Retrieving skin structure", "pos:0", "pos:50", "pos:100",
                                                 "pos:0", "caption:Packing icons", "pos:50", "pos:100", "close"}));
}

// A folder (header, structure file, icons, raw copies) and the archive it packs into.
// The folder is only read, and no conversion folder stays behind.
TEST_F(PackTest, FoldersPackIntoTheArchiveTheyDescribe) {
    const Bytes h = HeaderText(24), raw = {0xF8, 0x00, 0x07, 0xE0, 0x40}, cfg = ToBytes("colour=blue\n");
    const std::string s97(97, 's');  // stem + ".g": the longest name, 99 bytes
    WriteBytes(dir / "sky(2x1).raw", raw);
    std::string skyIcon = dir / "sky.bmp";  // the .raw picture's icon, unchanged
    TPictureKind kind = pkOther;
    DecodePicture(dir / "sky(2x1).raw", skyIcon, tfBmp, kind);
    const struct {
        const char* what;
        Bytes header, structure;
        Files icons, raws;
        Bytes archive;
    } cases[] = {
        {"no slots: every icon passed over", HeaderText(30), StructureFile(0, {}), {{"a.png", Png("a")}}, {},
         BuildArchive(HeaderText(30), {})},
        // Another case, a kind 5 record, no record, an empty slot's names, a dot-file no
        // record names; the second record naming k.png loses to the first.
        {"icons without a usable record", h,
         StructureFile(6, {{0, "k.g", "k.png", pkG, 0, 1}, {1, "b.g", "b.png", pkG, 0, 2},
                           {2, "c.txt", "c.bmp", pkOther, 0, 3}, EmptyRecord(3), {4, "h.g", ".hidden.png", pkG, 0, 5},
                           {5, "y.g", "k.png", pkG, 0, 6}}),
         {{".stray.png", Png("h")}, {"B.png", Png("B")}, {"[]", Png("[]")}, {"c.bmp", Png("c")},
          {"extra.png", Png("e")}, {"k.png", Png("k")}},
         {}, BuildArchive(h, {{"k.g", Png("k"), 1}, {}, {}, {}, {}, {}})},
        // Ordered by RawName, not by the name written; ties (m.g) in the order listed.
        {"order by raw name", h, StructureFile(3, {{0, "m.g", "b.png", pkG, 0, 1}, {1, "m.g", "a.png", pkG, 0, 2},
                                                   {2, "c.g", "c.png", pkG, 0, 3}}),
         {{"a.png", Png("a")}, {"b.png", Png("bb")}, {"c.png", Png("ccc")}}, {},
         BuildArchive(h, {{"b.g", Png("bb"), 1, "m1"}, {"a.g", Png("a"), 2, "m0"}, {"c.g", Png("ccc"), 3, "c"}})},
        // An unchanged .raw picture and a non-picture come from raws/, in their place in
        // name order; one whose copy is gone stays out.
        {"entries without a writer", h,
         StructureFile(5, {{0, "sky(2x1).raw", "sky(2x1).bmp", pkRaw, 0, 10}, {1, "b.g", "b.png", pkG, 0, 11},
                           {2, "theme.cfg", "theme.bmp", pkOther, 0, 12}, {3, "gone.txt", "gone.bmp", pkOther, 0, 13},
                           EmptyRecord(4)}),
         {{"b.png", Png("b")}, {"sky(2x1).bmp", ReadBytes(skyIcon)}},
         {{"sky(2x1).raw", raw}, {"theme.cfg", cfg}},
         BuildArchive(h, {{"sky(2x1).raw", raw, 10}, {"b.g", Png("b"), 11}, {"theme.cfg", cfg, 12}, {}, {}})},
        {"the longest header", HeaderText(65536), One("a.g", "a.png"),
         {{"a.png", Png("a")}}, {}, BuildArchive(HeaderText(65536), {{"a.g", Png("a"), 1}})},
        {"the longest name", h, One(s97 + ".g", s97 + ".png"), {{s97 + ".png", Png("a")}}, {},
         BuildArchive(h, {{s97 + ".g", Png("a"), 1}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir / "f");
        std::filesystem::create_directories(dir / "f/raws");
        std::filesystem::create_directories(dir / "f/icons/sub.png");  // a folder among the icons
        Folder(c.header, c.structure);
        for (const auto& [name, bytes] : c.icons) Icon(name, bytes);
        for (const auto& [name, bytes] : c.raws) WriteBytes(dir / "f/raws/" + name, bytes);
        const FolderCheck check = CheckFolder(dir / "f/");
        EXPECT_EQ(Pack(), PackResult::Packed);
        EXPECT_EQ(Output(), c.archive);
        EXPECT_TRUE(CheckAgrees(check, dir / "f/", dir / "out.ezx"));
        EXPECT_EQ(FolderNames(dir / "f"), (std::vector<std::string>{"iconres.dat", "iconres.hdr", "icons", "raws"}));
        for (const auto& [name, bytes] : c.raws) EXPECT_EQ(ReadBytes(dir / "f/raws/" + name), bytes);
    }
}

// The plan that packing follows names each entry's source: an icon encoded again or
// a copy carried unchanged; icon files without a record, and records whose slot stays
// empty (the copy gone, or the icon of a picture that decodes deleted), are listed.
TEST_F(PackTest, PlanNamesEverySourceAndWhatStaysOut) {
    const Bytes raw = {0xF8, 0x00, 0x07, 0xE0, 0x40};
    WriteBytes(dir / "f/raws/sky(2x1).raw", raw);
    WriteBytes(dir / "f/raws/del(2x1).raw", raw);
    WriteText(dir / "f/raws/theme.cfg", "blue");
    std::filesystem::create_directories(dir / "f/icons");
    std::string skyIcon = dir / "f/icons/sky(2x1).bmp";
    TPictureKind kind = pkOther;
    DecodePicture(dir / "f/raws/sky(2x1).raw", skyIcon, tfBmp, kind);
    Folder(HeaderText(24), StructureFile(6, {{0, "sky(2x1).raw", "sky(2x1).bmp", pkRaw, 0, 1},
                                             {1, "b.g", "b.png", pkG, 0, 2},
                                             {2, "theme.cfg", "theme.bmp", pkOther, 0, 3},
                                             {3, "gone.txt", "gone.bmp", pkOther, 0, 4},
                                             {4, "del(2x1).raw", "del(2x1).bmp", pkRaw, 0, 5},
                                             EmptyRecord(5)}));
    Icon("b.png", Png("b"));
    Icon("extra.png", Png("e"));
    const PackPlan plan = PlanPack(dir / "f/", rec, rec);
    EXPECT_TRUE(plan.structureFound);
    EXPECT_EQ(plan.slotCount, 6u);
    std::vector<std::string> entries, dropped;
    for (const PlannedEntry& e : plan.entries) {
        entries.push_back(e.record.RawName + (e.Reencoded() ? " encoded from " : " carried from ") +
                          e.sourcePath.substr(dir.Path().size()));
    }
    for (const TConvRec& r : plan.dropped) dropped.push_back(r.RawName);
    EXPECT_EQ(entries, (std::vector<std::string>{"b.g encoded from f/icons/b.png",
                                                 "sky(2x1).raw carried from f/raws/sky(2x1).raw",
                                                 "theme.cfg carried from f/raws/theme.cfg"}));
    EXPECT_EQ(plan.entries[0].rawPath, dir / "f/raws/b.g");
    EXPECT_EQ(plan.ignored, std::vector<std::string>{"extra.png"});
    EXPECT_EQ(dropped, (std::vector<std::string>{"gone.txt", "del(2x1).raw"}));
    EXPECT_FALSE(PlanPack(dir / "none/", rec, rec).structureFound);
}

TEST(PackOrder, SortByRawNameIsStableAndByteWise) {
    // Bytes compare unsigned and case-sensitive, a prefix first; ties keep their order.
    std::vector<TConvRec> found;
    for (const char* name : {"a.k", "a\x80", "B.k", "a.", "a.k"}) found.emplace_back().RawName = name;
    EXPECT_EQ(SortByRawName(found), (std::vector<std::uint32_t>{2, 3, 0, 4, 1}));
}

TEST_F(PackTest, NothingToPackAndLeftoverConversionFolder) {
    // Only a hidden icon: the progress window opens and closes.
    OneIcon();
    std::filesystem::rename(dir / "f/icons/a.png", dir / "f/icons/.a.png");
    EXPECT_EQ(Pack(), PackResult::NoIcons);
    EXPECT_EQ(rec.log, (std::vector<std::string>{"show", "caption:Searching for files",
                                                 "caption:Retrieving skin structure", "close"}));
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"f"});
    EXPECT_EQ(FolderNames(dir / "f"), (std::vector<std::string>{"iconres.dat", "iconres.hdr", "icons"}));
    // A conversion folder left by an earlier run is used; what it held stays, but a
    // stale file under a converted name is replaced.
    OneIcon();
    WriteText(dir / "f/conv/old.k", "left from an earlier run");
    WriteText(dir / "f/conv/a.g", "stale");
    EXPECT_EQ(Pack(), PackResult::Packed);
    EXPECT_EQ(Output(), BuildArchive(HeaderText(24), {{"a.g", Png("a"), 1}}));
    EXPECT_EQ(FolderNames(dir / "f/conv"), std::vector<std::string>{"old.k"});

    // A file named conv cannot hold the converted icon: the error names it there.
    std::filesystem::remove_all(dir / "f/conv");
    WriteText(dir / "f/conv", "not a folder");
    const auto e = Caught<IoError>([&] { Pack(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Code(), ENOTDIR);
    EXPECT_EQ(e->Path(), dir / "f/conv/a.g");
}

TEST_F(PackTest, OutputThroughALinkReplacesItsTargetKeepingItsMode) {
    OneIcon();
    WriteText(dir / "real/target.ezx", "old");
    ::chmod((dir / "real/target.ezx").c_str(), 0600);
    std::filesystem::create_symlink(dir / "real/target.ezx", dir / "out.ezx");
    EXPECT_EQ(Pack(), PackResult::Packed);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "out.ezx"));
    EXPECT_EQ(std::filesystem::status(dir / "real/target.ezx").permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(ReadBytes(dir / "real/target.ezx"), BuildArchive(HeaderText(24), {{"a.g", Png("a"), 1}}));
    EXPECT_EQ(FolderNames(dir / "real"), std::vector<std::string>{"target.ezx"});
}

// Each failure names its cause (and a file that vanished), closes the progress window,
// and leaves the archive the user pointed at as it was, with no temporary file beside
// it and no conversion folder.
TEST_F(PackTest, FailuresLeaveTheExistingArchiveAsItWas) {
    const Bytes h = HeaderText(24);
    const std::string s98(98, 's');
    Bytes cut = StructureFile(2, {{0, "a.g", "a.png", pkG, 0, 1}, {1, "b.g", "b.png", pkG, 0, 2}});
    cut.pop_back();
    Bytes huge = StructureFile(1, {});
    huge.insert(huge.end(), {0, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0xFF});  // slot 0, a RawName longer than the file
    Bytes oversized = One("a.g", "a.png");
    oversized.resize((1 << 20) + 5);
    Bytes bigPicture = Png("a");
    bigPicture.resize((1 << 20) + 1);
    const struct {
        std::string words;
        ErrorCause cause;
        std::function<void()> setUp;
        std::string path = "";  // the file the error names
    } cases[] = {
        {"File not found", ErrorCause::System,
         [&] { OneIcon(), std::filesystem::remove(dir / "f/iconres.hdr"); }, "f/iconres.hdr"},
        {"has kind 7, which is no picture kind", ErrorCause::BadSignature,
         [&] { Folder(h, One("p.k", "p.bmp", 7)), Icon("p.bmp", Png("p")); }},
        {"no archive header", ErrorCause::BadSignature,
         [&] { OneIcon(ToBytes("not an archive header text")); }},
        // An icon, to become an 18-bit .k, vanishing after icons/ was listed.
        {"File not found", ErrorCause::System,
         [&] {
             Folder(h, One("b.k", "b.bmp", pkK18Masked)), Icon("b.bmp", Bmp32(1, 1, 0, {1, 2, 3, 255}));
             rec.hookCaption = "Retrieving skin structure";
             rec.action = [this] { std::filesystem::remove(dir / "f/icons/b.bmp"); };
         },
         "f/icons/b.bmp"},
        {"slot 0 contains \"/\"", ErrorCause::UnsafeName,
         [&] { OneIcon(), Folder(h, One("../iconres.hdr", "x.bmp", pkOther)); }},
        {"too few", ErrorCause::Truncated,
         [&] { OneIcon(Bytes(h.begin(), h.end() - 1)); }},  // the last digit of P has no room
        {"at most 99", ErrorCause::UnsafeName,
         [&] { Folder(h, One(s98 + ".g", s98 + ".png")), Icon(s98 + ".png", Png("a")); }},
        {"LF", ErrorCause::UnsafeName,
         [&] { Folder(h, One("l.g", "l\nf.png")), Icon("l\nf.png", Png("a")); }},
        {"names slot 1", ErrorCause::BeyondLimit, [&] { OneIcon(), Folder(h, One("a.g", "a.png", pkG, 1)); }},
        {"record 1 of 2 runs past the end", ErrorCause::Truncated, [&] { OneIcon(), Folder(h, cut); }},
        {"record 0 of 1 runs past the end", ErrorCause::Truncated, [&] { OneIcon(), Folder(h, huge); }},
        {"65537 slots", ErrorCause::BeyondLimit, [&] { OneIcon(), Folder(h, StructureFile(65537, {})); }},
        {"more than 1048580", ErrorCause::TooLarge, [&] { OneIcon(), Folder(h, oversized); }},
        {"more than 65536", ErrorCause::TooLarge, [&] { OneIcon(HeaderText(65537)); }},
        {"more than 1048576", ErrorCause::TooLarge, [&] { OneIcon(), Icon("a.png", bigPicture); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words);
        std::filesystem::remove_all(dir / "f");
        std::filesystem::create_directories(dir / "f/icons");
        WriteText(dir / "out.ezx", "old archive");
        rec = Recorder();
        c.setUp();
        std::string text = "packed", path;
        // The check, before packing, fails as packing then does.
        std::string checked = "packed";
        try {
            const FolderCheck check = CheckFolder(dir / "f/");
            if (!check.Packable()) checked = check.failure;
        } catch (const std::runtime_error& e) {
            checked = e.what();
        }
        std::optional<ErrorCause> cause;
        try {
            Pack();
        } catch (const Error& e) {
            text = e.what(), path = e.Path(), cause = e.Cause();
        }
        EXPECT_TRUE(Contains(text, c.words));
        if (!rec.action) {  // a file vanishing during packing aside
            EXPECT_EQ(checked, text);
        }
        EXPECT_EQ(cause, c.cause);
        EXPECT_TRUE(c.path.empty() || path == dir / c.path) << path;
        EXPECT_TRUE(
            std::none_of(rec.log.begin(), rec.log.end(), [](auto& l) { return l.starts_with("notfound"); }));
        EXPECT_TRUE(rec.log.empty() || rec.log.back() == "close");
        EXPECT_EQ(ReadBytes(dir / "out.ezx"), ToBytes("old archive"));
        EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"f", "out.ezx"}));
        EXPECT_FALSE(Exists(dir / "f/conv"));
    }
    // Without an old archive, none appears.
    std::filesystem::remove(dir / "out.ezx");
    EXPECT_THROW(Pack(), DataError);
    EXPECT_FALSE(Exists(dir / "out.ezx"));
}

}  // namespace
}  // namespace tavro::test
