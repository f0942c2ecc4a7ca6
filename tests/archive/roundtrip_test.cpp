// Unpacking to BMP and packing again gives back the archive byte for byte, for every
// kind of entry.
#include <gtest/gtest.h>

#include <random>

#include "archive/extract.h"
#include "archive/pack.h"
#include "archive/settings.h"
#include "archive_fixture.h"

namespace tavro {
namespace {

using test::Bytes;
using test::Slot;

// An 18-bit .k as the handset stores it: pixel values of 18 bits, zero padding at
// the end of each row, and, with a mask, zero bits past the last pixel of a row.
Bytes K18(std::int32_t width, std::int32_t height, bool masked, std::mt19937& rng) {
    const std::size_t stride = (3 * static_cast<std::size_t>(width) + 3) / 4 * 4;
    const std::size_t maskStride = ((static_cast<std::size_t>(width) + 7) / 8 + 3) / 4 * 4;
    Bytes k = test::KFile(width, height, 18, static_cast<std::int32_t>(stride));
    for (std::int32_t y = 0; y < height; ++y) {
        Bytes row(stride, 0);
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t v = rng() & 0x3FFFF;
            row[3 * x] = static_cast<std::uint8_t>(v);
            row[3 * x + 1] = static_cast<std::uint8_t>(v >> 8);
            row[3 * x + 2] = static_cast<std::uint8_t>(v >> 16);
        }
        k.insert(k.end(), row.begin(), row.end());
    }
    if (masked) {
        for (std::int32_t y = 0; y < height; ++y) {
            Bytes row(maskStride, 0);
            for (std::int32_t x = 0; x < width; ++x) {
                if (rng() % 3 != 0) row[x / 8] |= static_cast<std::uint8_t>(1u << (x % 8));
            }
            k.insert(k.end(), row.begin(), row.end());
        }
    }
    return k;
}

// A 32-bit .k: B G R A per pixel, alpha 0, 255 and values between.
Bytes K32(std::int32_t width, std::int32_t height, std::mt19937& rng) {
    Bytes k = test::KFile(width, height, 32, 4 * width);
    for (std::int32_t i = 0; i < width * height; ++i) {
        const std::uint32_t v = rng();
        const std::uint8_t alphas[] = {0, 255, static_cast<std::uint8_t>(v >> 24)};
        k.push_back(static_cast<std::uint8_t>(v));
        k.push_back(static_cast<std::uint8_t>(v >> 8));
        k.push_back(static_cast<std::uint8_t>(v >> 16));
        k.push_back(alphas[i % 3]);
    }
    return k;
}

TEST(RoundTripTest, UnpackToBmpAndPackGivesTheSameArchive) {
    std::mt19937 rng(5);
    // Names in ascending byte order, which is the order packing writes; the slots
    // themselves are in another order, with empty ones between.
    const std::vector<Slot> slots = {
        {"d_plain.k", K18(47, 33, false, rng), 404},
        {},
        {"a_masked.k", K18(47, 33, true, rng), 101},
        {"e_unknown.g", test::ToBytes("neither GIF nor PNG"), 505},
        {"b_wide.k", K32(47, 33, rng), 202},
        {},
        {"c_anim.g", test::ToBytes("GIF89a\x01\x00\x01\x00 any bytes"), 303},
        {"f_one.k", K18(1, 1, true, rng), 606},
        {"g_png.g", test::ToBytes("\x89PNG\r\n\x1a\n and more"), 707},
        // No writer makes these again: packing takes them from raws/.
        {"h_sky(2x2).raw", {0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F, 0xFF, 0xFF, 0x50}, 808},
        {"i_theme.cfg", test::ToBytes("colour=blue\n"), 909},
        // Both records name the icon j_note.bmp; the picture's must still be found.
        {"j_note.bmp", test::ToBytes("no picture"), 1001},
        {"j_note.k", K18(5, 3, true, rng), 1002},
    };
    const Bytes archive = test::BuildArchive(test::HeaderText(1575), slots);

    test::TempDir dir;
    test::WriteBytes(dir / "iconres.ezx", archive);
    std::filesystem::create_directory(dir / "x");
    SetDefaultSettings();
    AppSettings.TargetFormat = tfBmp;
    test::Recorder rec;
    ExtractArchive(dir / "iconres.ezx", dir / "x/", rec, rec, rec);
    EXPECT_EQ(test::ReadBytes(dir / "x/iconres.hdr"), Bytes(archive.begin(), archive.begin() + 1575));
    EXPECT_EQ(test::FolderNames(dir / "x/icons"),
              (std::vector<std::string>{"a_masked.bmp", "b_wide.bmp", "c_anim.gif", "d_plain.bmp", "e_unknown.unk",
                                        "f_one.bmp", "g_png.png", "h_sky(2x2).bmp", "j_note.bmp"}));

    ASSERT_EQ(PackArchive(dir / "x/", dir / "again.ezx", rec, rec), PackResult::Packed);
    const Bytes again = test::ReadBytes(dir / "again.ezx");
    ASSERT_EQ(again.size(), archive.size());
    EXPECT_TRUE(again == archive);
}

// The worked example as the handset would have it: a 3-byte a.k is no picture that
// decodes, so it has no icon, but keeps its raw copy, list line and record.
TEST(RoundTripTest, PictureThatDoesNotDecodeKeepsItsRecord) {
    test::TempDir dir;
    const Bytes archive = test::BuildArchive(test::HeaderText(55), {{"a.k", test::ToBytes("xyz"), 7}, {}});
    ASSERT_EQ(archive.size(), 115u);
    test::WriteBytes(dir / "iconres.ezx", archive);
    SetDefaultSettings();
    test::Recorder rec;
    ExtractArchive(dir / "iconres.ezx", dir.Path(), rec, rec, rec);
    EXPECT_EQ(test::ReadBytes(dir / "iconres.hdr"), archive);
    EXPECT_EQ(test::ReadBytes(dir / "raws/a.k"), test::ToBytes("xyz"));
    EXPECT_TRUE(test::FolderNames(dir / "icons").empty());
    EXPECT_EQ(rec.lines, std::vector<std::string>{"a.k"});
    // Three bytes of header read as zeros: depth 0 is the 32-bit variant.
    EXPECT_EQ(test::ReadBytes(dir / "iconres.dat"),
              test::StructureFile(2, {{0, "a.k", "a.bmp", pkK32, HashName("a.bmp"), 7},
                                      {1, "[]", "[]", pkOther, HashName("[]"), 0xFFFFFFFF}}));
}

}  // namespace
}  // namespace tavro
