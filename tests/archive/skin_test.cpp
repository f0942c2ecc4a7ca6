// Looking at whole skins: a contact sheet's tiles hold their icons' pixels, and a
// comparison finds exactly the slots that an edit changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "archive/check.h"
#include "archive/diff.h"
#include "archive/extract.h"
#include "archive/pack.h"
#include "archive/sheet.h"
#include "imaging/errors.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

const std::string kSample = std::string(TAVRO_SOURCE_DIR) + "/examples/iconres.ezx";

// The sample unpacked into dir/f (BMP icons).
void Unpack(const TempDir& dir) {
    Recorder rec;
    std::filesystem::create_directories(dir / "f");
    ExtractArchive(kSample, dir / "f/", tfBmp, rec, rec, rec);
}

void Pack(const TempDir& dir, const std::string& out) {
    Recorder rec;
    ASSERT_EQ(PackArchive(dir / "f/", out, rec, rec), PackResult::Packed);
}

// The top-left corner of tile i of a sheet with `columns` columns.
QPoint TileCorner(int i, int columns) {
    return {kSheetGutter + (i % columns) * (kTileWidth + kSheetGutter),
            kSheetGutter + (i / columns) * (kTileHeight + kSheetGutter)};
}

// A 32-bit .k of 5 x 3 whose pixels are opaque and all different, named to sort first.
Bytes DistinctPicture() {
    Bytes body;
    for (int i = 0; i < 15; ++i) {
        for (std::uint8_t v : {static_cast<std::uint8_t>(10 * i), static_cast<std::uint8_t>(200 - 9 * i),
                               static_cast<std::uint8_t>(7 * i + 3), std::uint8_t{255}}) {
            body.push_back(v);
        }
    }
    return KFile(5, 3, 32, 20, body);
}

TEST(ContactSheet, TileHoldsTheIconsPixelsCentredOnTheBackground) {
    TempDir dir;
    const Bytes picture = DistinctPicture();
    const Bitmap expected = DecodeHandsetPicture("a.k", PictureKindOf("a.k", picture), picture);
    ASSERT_EQ(expected.Width(), 5);
    // Slot order b.cfg, (empty), a.k: by name, a.k comes first and the empty slot last.
    WriteBytes(dir / "s.ezx", BuildArchive(HeaderText(24), {{"b.cfg", ToBytes("x=1\n"), 1}, {}, {"a.k", picture, 2}}));
    for (const SheetOrder order : {SheetOrder::Name, SheetOrder::Slot}) {
        SheetOptions options;
        options.columns = 2;
        options.background = 0x336699;
        options.order = order;
        ASSERT_EQ(MakeContactSheet(dir / "s.ezx", dir / "s.png", options), std::vector<std::string>{dir / "s.png"});
        const Bitmap sheet = LoadBitmap(dir / "s.png");
        ASSERT_EQ(sheet.Width(), kSheetGutter + 2 * (kTileWidth + kSheetGutter));
        ASSERT_EQ(sheet.Height(), kSheetGutter + 2 * (kTileHeight + kSheetGutter));
        const QPoint corner = TileCorner(order == SheetOrder::Name ? 0 : 2, 2);
        const int left = corner.x() + (kTileWidth - kTilePictureSide) / 2 + (kTilePictureSide - 5) / 2;
        const int top = corner.y() + kTilePad + (kTilePictureSide - 3) / 2;
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) EXPECT_EQ(sheet.GetPixel(left + x, top + y), expected.GetPixel(x, y));
        }
        EXPECT_EQ(sheet.GetPixel(left - 1, top), 0xFF336699u);  // the tile's background beside it
    }
}

TEST(ContactSheet, FilesColumnsAndRefusedOutputs) {
    EXPECT_EQ(SheetColumns(40, 0), 7);
    EXPECT_EQ(SheetColumns(1, 0), 1);
    EXPECT_EQ(SheetColumns(5, 100000), kMaxSheetColumns);
    EXPECT_EQ(SheetFiles("d/out.png", kMaxSheetRows * 3, 3), std::vector<std::string>{"d/out.png"});
    EXPECT_EQ(SheetFiles("d/out.png", kMaxSheetRows * 3 + 1, 3),
              (std::vector<std::string>{"d/out-1.png", "d/out-2.png"}));

    TempDir dir;
    Unpack(dir);
    const Bytes before = ReadBytes(kSample);
    const std::string copy = dir / "copy.ezx";
    WriteBytes(copy, before);
    for (const auto& [source, output] : std::vector<std::pair<std::string, std::string>>{
             {copy, copy}, {dir / "f", dir / "f/icons/clock.bmp"}, {dir / "f/", dir / "f/raws/sheet.png"},
             {dir / "f", dir / "f/iconres.dat"}}) {
        SCOPED_TRACE(output);
        const bool existed = Exists(output);
        const Bytes old = existed ? ReadBytes(output) : Bytes{};
        EXPECT_TRUE(Caught<DataError>([&] { MakeContactSheet(source, output, {}); }));
        EXPECT_EQ(Exists(output), existed);
        if (existed) {
            EXPECT_EQ(ReadBytes(output), old);
        }
    }
    // Beside the icons is fine.
    EXPECT_EQ(MakeContactSheet(dir / "f", dir / "f/sheet.png", {}).size(), 1u);
    // Packing's message for a folder without structure file, extraction's for a cut archive.
    std::filesystem::remove(dir / "f/iconres.dat");
    const auto noStructure = Caught<DataError>([&] { MakeContactSheet(dir / "f", dir / "s.png", {}); });
    ASSERT_TRUE(noStructure);
    EXPECT_STREQ(noStructure->what(), "no structure file; nothing written");
    WriteBytes(copy, Bytes(before.begin(), before.begin() + 20));
    const auto cut = Caught<DataError>([&] { MakeContactSheet(copy, dir / "s.png", {}); });
    ASSERT_TRUE(cut);
    EXPECT_TRUE(Contains(cut->what(), "too short"));
    EXPECT_FALSE(Exists(dir / "s.png"));
}

// The sample unpacked, edited and packed: an archive against its own repack and
// against the folder is the same; one edited, one deleted and one resized icon (and
// the .raw picture renamed by its new size) show as such, both against the edited
// folder and against its repack.
TEST(SkinDiff, EditedDeletedAndResizedIconsShowAsSuch) {
    TempDir dir;
    Unpack(dir);
    Pack(dir, dir / "same.ezx");
    for (const std::string& other : {dir / "same.ezx", dir / "f"}) {
        Skin a(kSample), b(other);
        const SkinDifference diff = CompareSkins(a, b);
        EXPECT_TRUE(diff.Same()) << other << ": " << (diff.Same() ? "" : DescribeDifference(diff.changes[0]));
        EXPECT_EQ(diff.identical, 40u);
    }

    const std::string icons = dir / "f/icons/";
    Bitmap clock = LoadBitmap(icons + "clock.bmp");
    clock.SetPixel(16, 16, PackArgb(255, 1, 2, 3));
    SaveBitmap(clock, icons + "clock.bmp", "image/bmp");
    std::filesystem::remove(icons + "star.bmp");
    SaveBitmap(Bitmap(30, 32), icons + "menu_games.bmp", "image/bmp");
    SaveBitmap(Bitmap(40, 20), icons + "wallpaper(48x32).bmp", "image/bmp");
    Pack(dir, dir / "edited.ezx");

    for (const std::string& other : {dir / "edited.ezx", dir / "f"}) {
        SCOPED_TRACE(other);
        Skin a(kSample), b(other);
        const SkinDifference diff = CompareSkins(a, b);
        std::vector<std::string> lines;
        for (const SlotDifference& d : diff.changes) lines.push_back(DescribeDifference(d));
        const bool packed = other != dir / "f";
        EXPECT_EQ(lines, (std::vector<std::string>{
                             "slot 18  menu_games.k  size 32x32 to 30x32",
                             "slot 22  clock.k  bytes changed, pixels changed",
                             "slot 23  star.k  removed",
                             packed ? "slot 37  wallpaper(48x32).raw -> wallpaper(40x20).raw  renamed, size 48x32 to 40x20"
                                    : "slot 37  wallpaper(48x32).raw  size 48x32 to 40x20",
                         }));
        EXPECT_EQ(DifferenceSummary(diff), "36 identical, 0 added, 1 removed, 3 changed");
        // The comparison's sheet: the four changed slots before and after.
        const std::vector<std::string> files = DrawDifference(a, b, diff, dir / "d.png", 0xFF000000);
        EXPECT_EQ(LoadBitmap(files.at(0)).Height(), kSheetGutter + 4 * (kTileHeight + kSheetGutter));
    }
}

// The check of an edited folder: what each edit does to its entry.
TEST(FolderCheck, FindingsOfEachEdit) {
    TempDir dir;
    Unpack(dir);
    const std::string icons = dir / "f/icons/";
    SaveBitmap(Bitmap(30, 32), icons + "clock.bmp", "image/bmp");  // shrunk, fully transparent
    Bitmap star = LoadBitmap(icons + "star.bmp");
    star.SetPixel(8, 8, PackArgb(128, 250, 10, 10));  // soft alpha into an 18-bit slot
    star.SetPixel(9, 8, PackArgb(255, 250, 10, 10));  // 250 rounds in 6 bits
    star.SetPixel(10, 8, PackArgb(77, 250, 10, 10));
    SaveBitmap(star, icons + "star.bmp", "image/bmp");
    std::filesystem::remove(icons + "lock.bmp");
    WriteText(icons + "notes.txt", "mine");
    const FolderCheck check = CheckFolder(dir / "f/");
    ASSERT_TRUE(check.Packable()) << check.failure;
    std::map<std::string, const CheckRow*> rows;
    for (const CheckRow& row : check.rows) rows[row.entry] = &row;
    ASSERT_EQ(rows.size(), 36u);
    const CheckRow& clock = *rows.at("clock.k");
    EXPECT_TRUE(clock.action == CheckAction::Encoded && clock.sizeChanged);
    EXPECT_EQ(std::vector<int>({clock.fromWidth, clock.fromHeight, clock.toWidth, clock.toHeight}),
              std::vector<int>({32, 32, 30, 32}));
    EXPECT_EQ(rows.at("star.k")->softAlphaLost, 2);
    EXPECT_GT(rows.at("star.k")->colourError, 0);
    EXPECT_FALSE(rows.at("star.k")->sizeChanged);
    EXPECT_EQ(rows.at("lock.k")->action, CheckAction::LeftEmpty);
    EXPECT_EQ(rows.at("theme.cfg")->action, CheckAction::Carried);
    EXPECT_EQ(rows.at("alarm.k")->note, "same bytes");
    EXPECT_EQ(check.ignored, std::vector<std::string>{"notes.txt"});
    const std::string table = CheckTable(check);
    EXPECT_TRUE(Contains(table, "SIZE CHANGED 32x32 to 30x32"));
    EXPECT_TRUE(Contains(table, "SOFT ALPHA LOST on 2 pixels"));
    EXPECT_TRUE(Contains(table, "35 entries: 2 carried unchanged, 33 encoded again; 1 slots left empty\n1 sizes changed"));
    EXPECT_EQ(FolderNames(dir / "f"), (std::vector<std::string>{"iconres.dat", "iconres.hdr", "icons", "raws"}));
}

}  // namespace
}  // namespace tavro::test
