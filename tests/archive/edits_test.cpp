// Unpacking, editing and packing hand-built archives: what a user keeps, edits or
// deletes comes back as such, and nothing else is lost on the way.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "archive/extract.h"
#include "archive/pack.h"
#include "imaging/standard.h"
#include "support/testsupport.h"

namespace tavro::test {
namespace {

using Edit = std::function<void(const std::string& icons)>;

// Each archive is unpacked into x/ (icons in the format given), x/icons/ edited, and x/
// packed again; raws/ is only ever read.
TEST(Edits, UnpackEditPack) {
    const Bytes gif = ToBytes("GIF89a\x01\x00\x01\x00 any bytes"), png = ToBytes("\x89PNG\r\n\x1a\n");
    // 3 x 2: six 5-6-5 pixels, then a mask of two bytes (one rounded up to even). Pixel 1
    // is transparent; the second mask byte is padding that no decoder reads, so only a
    // byte-for-byte copy keeps it.
    const Bytes sky = {0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F, 0xFF, 0xFF, 0x08, 0x21, 0x00, 0x00, 0x40, 0xA5};
    Bitmap edited(2, 2);
    edited.SetPixel(0, 0, PackArgb(255, 255, 0, 0));
    edited.SetPixel(1, 0, PackArgb(0, 0, 255, 0));  // transparent, colour kept
    edited.SetPixel(0, 1, PackArgb(255, 0x10, 0x20, 0x30));
    edited.SetPixel(1, 1, PackArgb(128, 255, 255, 255));  // any alpha but 0 is opaque
    const Bytes editedRaw = {0xF8, 0x00, 0x07, 0xE0, 0x11, 0x06, 0xFF, 0xFF, 0x40, 0x00};
    const std::vector<Slot> skyAndGif = {{"sky(3x2).raw", sky, 5}, {"z.g", gif, 6}};
    const struct {
        const char* what;
        std::vector<Slot> entries;
        TTargetFormat format;
        Edit edit = {};
        std::vector<Slot> packed = {};  // when not the entries themselves
    } cases[] = {
        // A name starting with "." is a dot-file icon, packed back; a stray dot-file adds nothing.
        {"dot-file icon", {{".logo.k", KFile(2, 1, 32, 8, {1, 2, 3, 255, 4, 5, 6, 0}), 7}}, tfBmp,
         [](const std::string& icons) {
             ASSERT_TRUE(Exists(icons + ".logo.bmp"));
             WriteText(icons + ".#logo.bmp", "an editor's lock file");
         }},
        {"raw unchanged", skyAndGif, tfBmp},
        {"raw edited", skyAndGif, tfBmp,
         [&](const std::string& icons) { SaveBitmap(edited, icons + "sky(3x2).bmp", "image/bmp"); },
         {{"sky(2x2).raw", editedRaw, 5}, {"z.g", gif, 6}}},
        {"raw edited, same size", skyAndGif, tfBmp,
         [](const std::string& icons) {
             Bitmap b = LoadBitmap(icons + "sky(3x2).bmp");
             b.SetPixel(0, 0, PackArgb(255, 0, 0, 255));
             SaveBitmap(b, icons + "sky(3x2).bmp", "image/bmp");
         },
         {{"sky(3x2).raw", {0x00, 0x1F, 0x07, 0xE0, 0x00, 0x1F, 0xFF, 0xFF, 0x08, 0x21, 0x00, 0x00, 0x40, 0x00}, 5},
          {"z.g", gif, 6}}},
        {"raw icon turned into a PNG", skyAndGif, tfPng,
         [&](const std::string& icons) { WriteBytes(icons + "sky(3x2).png", png); },
         {{"sky(3x2).g", png, 5}, {"z.g", gif, 6}}},
        {"raw icon deleted", skyAndGif, tfBmp,
         [](const std::string& icons) { std::filesystem::remove(icons + "sky(3x2).bmp"); }, {{}, {"z.g", gif, 6}}},
        // Pictures that do not decode get no icon; packing carries their copies.
        {"undecodable pictures",
         {{"big(300x300).raw", {1, 2, 3, 4}, 1},                  // past the pixel limit
          {"rows.k", KFile(2, 1, 18, 4, Bytes(8, 0x11)), 2},      // stride shorter than its pixels
          {"z.g", gif, 3}},
         tfBmp, [](const std::string& icons) { EXPECT_EQ(FolderNames(icons), std::vector<std::string>{"z.gif"}); }},
        {"no pictures at all", {{"theme.cfg", ToBytes("colour=blue\n"), 1}, {}, {"notes.txt", {}, 2}}, tfBmp},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        Recorder rec;
        WriteBytes(dir / "in.ezx", BuildArchive(HeaderText(1575), c.entries));
        std::filesystem::create_directory(dir / "x");
        ExtractArchive(dir / "in.ezx", dir / "x/", c.format, rec, rec, rec);
        if (c.edit) c.edit(dir / "x/icons/");
        ASSERT_EQ(PackArchive(dir / "x/", dir / "out.ezx", rec, rec), PackResult::Packed);
        EXPECT_EQ(ReadBytes(dir / "out.ezx"), BuildArchive(HeaderText(1575), c.packed.empty() ? c.entries : c.packed));
        for (const Slot& s : c.entries) EXPECT_TRUE(s.name.empty() || ReadBytes(dir / "x/raws/" + s.name) == s.data);
    }
}

}  // namespace
}  // namespace tavro::test
