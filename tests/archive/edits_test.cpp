// Unpacking, editing and packing hand-built archives: what a user keeps, edits or
// deletes comes back as such, and nothing else is lost on the way.
#include <gtest/gtest.h>

#include <functional>

#include "archive/extract.h"
#include "archive/pack.h"
#include "archive/settings.h"
#include "archive_fixture.h"
#include "imaging/bitmap.h"

namespace tavro {
namespace {

using test::Bytes;
using test::Slot;
using Edit = std::function<void(const std::string& icons)>;

const Bytes kGif = test::ToBytes("GIF89a\x01\x00\x01\x00 any bytes");
// 3 x 2: six 5-6-5 pixels, then a mask of two bytes (one rounded up to even). Pixel 1
// is transparent; the second mask byte is padding that no decoder reads, so only a
// byte-for-byte copy keeps it.
const Bytes kSky = {0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F, 0xFF, 0xFF, 0x08, 0x21, 0x00, 0x00, 0x40, 0xA5};

class EditsTest : public ::testing::Test {
protected:
    // Unpacks the archive of these entries into x/ (icons in `format`), lets `edit` change
    // x/icons/, and packs x/ into out.ezx.
    PackResult RoundTrip(const std::vector<Slot>& entries, TTargetFormat format, const Edit& edit = {}) {
        test::WriteBytes(dir / "in.ezx", test::BuildArchive(Header(), entries));
        std::filesystem::create_directory(dir / "x");
        SetDefaultSettings();
        AppSettings.TargetFormat = format;
        ExtractArchive(dir / "in.ezx", dir / "x/", rec, rec, rec);
        if (edit) edit(dir / "x/icons/");
        return PackArchive(dir / "x/", dir / "out.ezx", rec, rec);
    }
    static Bytes Header() { return test::HeaderText(1575); }
    Bytes Output() { return test::ReadBytes(dir / "out.ezx"); }

    test::TempDir dir;
    test::Recorder rec;
};

// Point 1: a name starting with "." unpacks to a dot-file icon and packs back from it;
// a stray dot-file that no record names adds nothing.
TEST_F(EditsTest, DotFileIconsArePacked) {
    const std::vector<Slot> entries = {{".logo.k", test::KFile(2, 1, 32, 8, {1, 2, 3, 255, 4, 5, 6, 0}), 7}};
    ASSERT_EQ(RoundTrip(entries, tfBmp,
                        [](const std::string& icons) {
                            ASSERT_TRUE(test::Exists(icons + ".logo.bmp"));
                            test::WriteText(icons + ".#logo.bmp", "an editor's lock file");
                        }),
              PackResult::Packed);
    EXPECT_EQ(Output(), test::BuildArchive(Header(), entries));
}

// Point 2: a .raw entry comes back as its icon says: unchanged, edited, turned into a
// PNG, or deleted.
TEST_F(EditsTest, RawEntriesFollowTheirIcons) {
    const Bytes png = test::ToBytes("\x89PNG\r\n\x1a\n");
    Bitmap edited(2, 2);
    edited.SetPixel(0, 0, PackArgb(255, 255, 0, 0));
    edited.SetPixel(1, 0, PackArgb(0, 0, 255, 0));  // transparent, colour kept
    edited.SetPixel(0, 1, PackArgb(255, 0x10, 0x20, 0x30));
    edited.SetPixel(1, 1, PackArgb(128, 255, 255, 255));  // any alpha but 0 is opaque
    const Bytes editedRaw = {0xF8, 0x00, 0x07, 0xE0, 0x11, 0x06, 0xFF, 0xFF, 0x40, 0x00};
    const struct {
        const char* what;
        TTargetFormat format;
        Edit edit;
        Slot result;  // slot 0 of the packed archive
    } cases[] = {
        {"unchanged", tfBmp, {}, {"sky(3x2).raw", kSky, 5}},
        {"edited", tfBmp,
         [&](const std::string& icons) { SaveBitmap(edited, icons + "sky(3x2).bmp", "image/bmp"); },
         {"sky(2x2).raw", editedRaw, 5}},
        {"a PNG", tfPng, [&](const std::string& icons) { test::WriteBytes(icons + "sky(3x2).png", png); },
         {"sky(3x2).g", png, 5}},
        {"deleted", tfBmp, [](const std::string& icons) { std::filesystem::remove(icons + "sky(3x2).bmp"); },
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir / "x");
        ASSERT_EQ(RoundTrip({{"sky(3x2).raw", kSky, 5}, {"z.g", kGif, 6}}, c.format, c.edit), PackResult::Packed);
        EXPECT_EQ(Output(), test::BuildArchive(Header(), {c.result, {"z.g", kGif, 6}}));
        EXPECT_EQ(test::ReadBytes(dir / "x/raws/sky(3x2).raw"), kSky);  // raws/ is only read
    }
}

// The round trip of an edited .raw picture: unpacked again, its pixels are the edit's,
// under the name of its new size.
TEST_F(EditsTest, EditedRawPixelsComeBack) {
    Bitmap edited(5, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            // Channels the 5-6-5 pixels hold exactly; every fourth pixel transparent.
            edited.SetPixel(x, y, PackArgb((x + y) % 4 == 0 ? 0 : 255, 8 * (x + 5 * y), 4 * (3 * x + y), 248 - 8 * x));
        }
    }
    ASSERT_EQ(RoundTrip({{"sky(3x2).raw", kSky, 5}}, tfBmp,
                        [&](const std::string& icons) { SaveBitmap(edited, icons + "sky(3x2).bmp", "image/bmp"); }),
              PackResult::Packed);
    std::filesystem::create_directory(dir / "y");
    ExtractArchive(dir / "out.ezx", dir / "y/", rec, rec, rec);
    EXPECT_EQ(test::FolderNames(dir / "y/icons"), std::vector<std::string>{"sky(5x3).bmp"});
    EXPECT_TRUE(test::SamePixels(edited, LoadBitmap(dir / "y/icons/sky(5x3).bmp")));
}

// Point 3: pictures that do not decode get no icon; packing carries their copies.
TEST_F(EditsTest, PicturesWithoutIconComeFromRaws) {
    const std::vector<Slot> entries = {
        {"big(300x300).raw", {1, 2, 3, 4}, 1},                       // past the pixel limit
        {"rows.k", test::KFile(2, 1, 18, 4, Bytes(8, 0x11)), 2},     // stride shorter than its pixels
        {"z.g", kGif, 3},
    };
    ASSERT_EQ(RoundTrip(entries, tfBmp,
                        [](const std::string& icons) {
                            EXPECT_EQ(test::FolderNames(icons), std::vector<std::string>{"z.gif"});
                        }),
              PackResult::Packed);
    EXPECT_EQ(Output(), test::BuildArchive(Header(), entries));
}

// Point 4: a folder of entries that are no picture packs; nothing has an icon.
TEST_F(EditsTest, FolderWithoutIconsPacksItsOtherEntries) {
    const std::vector<Slot> entries = {{"theme.cfg", test::ToBytes("colour=blue\n"), 1}, {}, {"notes.txt", {}, 2}};
    ASSERT_EQ(RoundTrip(entries, tfBmp), PackResult::Packed);
    EXPECT_EQ(Output(), test::BuildArchive(Header(), entries));
}

}  // namespace
}  // namespace tavro
