// The .k writers: pixels and mask rows byte for byte, and round trips through both
// depths from the two sources a user gives (PNG, and our 32-bit BMP, whose alpha
// comes from its stored rows, bottom row first).
#include <gtest/gtest.h>

#include "imaging/bitmap.h"
#include "imaging/conversion.h"
#include "imaging/kbitmap.h"
#include "support/testsupport.h"

namespace tavro {
namespace {

using test::Bytes;
using test::KFile;

class KBitmap : public ::testing::Test {
protected:
    std::string Source(const Bitmap& b, const char* mime = "image/png") {
        SaveBitmap(b, dir / "src.pic", mime);
        return dir / "src.pic";
    }
    test::TempDir dir;
};

TEST_F(KBitmap, RowsAndMaskRowsByteForByte) {
    // Red 255 -> 63 in bits 12-17, green 128 -> 32 in bits 6-11, blue 1 -> 0: the two
    // low bits are dropped, not rounded; then one byte of padding.
    Bitmap one(1, 1);
    one.SetPixel(0, 0, PackArgb(255, 255, 128, 1));
    WriteKBitmap18(Source(one), dir / "p.k", false);
    EXPECT_EQ(test::ReadBytes(dir / "p.k"), KFile(1, 1, 18, 4, {0x00, 0xF8, 0x03, 0x00}));

    Bitmap b(33, 2);
    for (int x = 0; x < 33; ++x) {
        b.SetPixel(x, 0, 0xFFFFFFFFu);  // top row all opaque white
        b.SetPixel(x, 1, 0x01FFFFFFu);  // bottom row: alpha 1 counts as opaque ...
    }
    b.SetPixel(0, 1, 0x00FFFFFFu);  // ... except pixels 0 and 32, transparent
    b.SetPixel(32, 1, 0x00FFFFFFu);
    WriteKBitmap18(Source(b), dir / "w.k", true);
    Bytes white(99, 0xFF);  // 0x3FFFF per pixel, then one byte of padding per row
    for (std::size_t i = 2; i < 99; i += 3) white[i] = 0x03;
    white.push_back(0);
    Bytes body = white;
    body.insert(body.end(), white.begin(), white.end());
    // Mask rows of 8 bytes, bit x mod 8 of byte x / 8, LSB first, 1 = opaque.
    for (std::uint8_t m : {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0}) body.push_back(m);
    EXPECT_EQ(test::ReadBytes(dir / "w.k"), KFile(33, 2, 18, 100, body));
}

TEST_F(KBitmap, RoundTripsKeepSixBitsAndOneBitOfAlphaOrEverything) {
    const Bitmap want = test::OddPicture();
    for (const char* mime : {"image/png", "image/bmp"}) {
        const std::string src = Source(want, mime);
        for (TPictureKind kind : {pkK18Masked, pkK18, pkK32}) {
            SCOPED_TRACE(std::string(mime) + " " + std::to_string(kind));
            const bool mask = kind == pkK18Masked;
            if (kind == pkK32) {
                WriteKBitmap32(src, dir / "o.k");
                ReadKBitmap32(dir / "o.k", dir / "o.png", "image/png");
            } else {
                WriteKBitmap18(src, dir / "o.k", mask);
                ReadKBitmap18(dir / "o.k", dir / "o.png", mask, "image/png");
            }
            const Bytes f = test::ReadBytes(dir / "o.k");
            const std::size_t stride = kind == pkK32 ? 188 : 144, maskRows = mask ? 8 * 33 : 0;
            EXPECT_EQ(f.size(), 16 + stride * 33 + maskRows);
            EXPECT_EQ(Bytes(f.begin(), f.begin() + 16), KFile(47, 33, kind == pkK32 ? 32 : 18, static_cast<int>(stride)));
            const Bitmap got = LoadBitmap(dir / "o.png");
            if (kind == pkK32) {
                EXPECT_TRUE(test::SamePixels(want, got));
                continue;
            }
            Bitmap expected(47, 33);
            for (int y = 0; y < 33; ++y) {
                for (int x = 0; x < 47; ++x) {
                    const std::uint32_t w = want.GetPixel(x, y);
                    expected.SetPixel(x, y, (w & 0x00FCFCFCu) | (!mask || AlphaOf(w) != 0 ? 0xFF000000u : 0));
                }
            }
            EXPECT_TRUE(test::SamePixels(expected, got));
        }
    }
}

}  // namespace
}  // namespace tavro
