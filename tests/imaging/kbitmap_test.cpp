#include <gtest/gtest.h>

#include "imaging/bitmap.h"
#include "imaging/errors.h"
#include "imaging/kbitmap.h"
#include "support/testsupport.h"

namespace tavro {
namespace {

using test::Bytes;
using test::TempDir;

using test::KFile;
using test::OddPicture;

Bytes Header(const Bytes& file) { return Bytes(file.begin(), file.begin() + 16); }

class KBitmap : public ::testing::Test {
protected:
    // Saves a picture as a source file and returns its path.
    std::string Source(const Bitmap& b, const std::string& name = "src.png", const char* mime = "image/png") {
        SaveBitmap(b, dir / name, mime);
        return dir / name;
    }

    TempDir dir;
};

// Widths 1, 33 and 47 are pinned by the files written below; these are the edges
// where a row fills its last word exactly.
TEST(KLayout, StridesAndMaskRule) {
    EXPECT_EQ(KStride18(32), 96);
    EXPECT_EQ(KMaskStride(32), 4);

    const KHeader h{33, 2, kDepth18, 100};
    EXPECT_FALSE(KHasMask(h, 16 + 200));  // exactly the pixel rows
    EXPECT_TRUE(KHasMask(h, 16 + 201));   // one byte more means a mask
    EXPECT_FALSE(KHasMask(h, 10));        // shorter than the header: signed, so no mask
    EXPECT_TRUE(KHasMask(KHeader{1, 1, kDepth18, -4}, 16));  // a negative pixel size compares signed
}

TEST_F(KBitmap, EighteenBitPixelPackingExample) {
    Bitmap b(1, 1);
    b.SetPixel(0, 0, PackArgb(255, 255, 128, 1));
    WriteKBitmap18(Source(b), dir / "p.k", false);
    const Bytes f = test::ReadBytes(dir / "p.k");
    EXPECT_EQ(f, KFile(1, 1, 18, 4, {0x00, 0xF8, 0x03, 0x00}));  // pixel, then one byte of padding

    ReadKBitmap18(dir / "p.k", dir / "back.bmp", false, "image/bmp");
    EXPECT_EQ(LoadBitmap(dir / "back.bmp").GetPixel(0, 0), PackArgb(255, 252, 128, 0));
}

TEST_F(KBitmap, Width33RowsAndMaskRows) {
    Bitmap b(33, 2);
    for (int x = 0; x < 33; ++x) {
        b.SetPixel(x, 0, 0xFFFFFFFFu);  // top row all opaque white
        b.SetPixel(x, 1, 0x01FFFFFFu);  // bottom row: alpha 1 counts as opaque ...
    }
    b.SetPixel(0, 1, 0x00FFFFFFu);   // ... except pixel 0 and pixel 32, transparent
    b.SetPixel(32, 1, 0x00FFFFFFu);
    WriteKBitmap18(Source(b), dir / "w.k", true);
    const Bytes f = test::ReadBytes(dir / "w.k");
    ASSERT_EQ(f.size(), 16u + 100 * 2 + 8 * 2);
    EXPECT_EQ(Header(f), KFile(33, 2, 18, 100));
    // White is 0x3FFFF per pixel; the 100th byte of each row is padding.
    EXPECT_EQ(f[16 + 96], 0xFF);
    EXPECT_EQ(f[16 + 98], 0x03);
    EXPECT_EQ(f[16 + 99], 0x00);
    EXPECT_EQ(f[16 + 100 + 99], 0x00);
    const std::size_t mask = 16 + 200;
    EXPECT_EQ(Bytes(f.begin() + mask, f.begin() + mask + 8), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0}));
    EXPECT_EQ(Bytes(f.begin() + mask + 8, f.end()), (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0}));
}

// From PNG and from our 32-bit BMP, whose alpha comes from its stored rows, bottom row first.
TEST_F(KBitmap, EighteenBitRoundTripsClearLowBitsAndKeepOneBitOfAlpha) {
    const Bitmap want = OddPicture();
    for (int run = 0; run < 4; ++run) {
        const char* mime = run < 2 ? "image/png" : "image/bmp";
        const bool mask = run % 2 == 0;
        const std::string src = Source(want, "src.pic", mime);
        WriteKBitmap18(src, dir / "o.k", mask);
        EXPECT_EQ(test::ReadBytes(dir / "o.k").size(), 16u + 144 * 33 + (mask ? 8 * 33 : 0));
        ReadKBitmap18(dir / "o.k", dir / "o.png", mask, "image/png");
        const Bitmap got = LoadBitmap(dir / "o.png");
        ASSERT_EQ(got.Width(), 47);
        ASSERT_EQ(got.Height(), 33);
        for (int y = 0; y < 33; ++y) {
            for (int x = 0; x < 47; ++x) {
                const std::uint32_t w = want.GetPixel(x, y);
                const std::uint32_t alpha = (!mask || AlphaOf(w) != 0) ? 255 : 0;
                ASSERT_EQ(got.GetPixel(x, y), (w & 0x00FCFCFCu) | (alpha << 24)) << x << "," << y << mime << mask;
            }
        }
    }
}

TEST_F(KBitmap, ThirtyTwoBitRoundTripsAreLosslessThroughBmpAndPng) {
    const Bitmap want = OddPicture();
    for (const char* mime : {"image/bmp", "image/png"}) {
        WriteKBitmap32(Source(want, "src.pic", mime), dir / "o.k");
        const Bytes f = test::ReadBytes(dir / "o.k");
        ASSERT_EQ(f.size(), 16u + 47 * 4 * 33);
        EXPECT_EQ(Header(f), KFile(47, 33, 32, 188));
        ReadKBitmap32(dir / "o.k", dir / "back.pic", mime);
        EXPECT_TRUE(test::SamePixels(want, LoadBitmap(dir / "back.pic"))) << mime;
    }
}

TEST_F(KBitmap, ReadersFollowTheHeader) {
    // Depth 24 is not 18, so the file is 32-bit: B G R A, rows of `stride` bytes.
    // 4 bytes of padding per row; the last row's padding is missing.
    test::WriteBytes(dir / "d24.k",
                     KFile(2, 2, 24, 12, {1, 2,  3,  4, 5,  6,  7,  8, 0xEE, 0xEE, 0xEE, 0xEE,  //
                                          9, 10, 11, 0, 13, 14, 15, 16}));
    ReadKBitmap32(dir / "d24.k", dir / "d24.bmp", "image/bmp");
    const Bitmap got = LoadBitmap(dir / "d24.bmp");
    EXPECT_EQ(got.GetPixel(0, 0), 0x04030201u);
    EXPECT_EQ(got.GetPixel(1, 0), 0x08070605u);
    EXPECT_EQ(got.GetPixel(0, 1), 0x000B0A09u);
    EXPECT_EQ(got.GetPixel(1, 1), 0x100F0E0Du);

    // An 18-bit file shorter than announced: missing pixels read as zero. Bits 18-23 are ignored.
    test::WriteBytes(dir / "short.k", KFile(2, 2, 18, 8, {0xFF, 0xFF, 0xFF}));
    ReadKBitmap18(dir / "short.k", dir / "short.bmp", false, "image/bmp");
    Bitmap b = LoadBitmap(dir / "short.bmp");
    EXPECT_EQ(b.GetPixel(0, 0), 0xFFFCFCFCu);
    EXPECT_EQ(b.GetPixel(1, 0), 0xFF000000u);
    EXPECT_EQ(b.GetPixel(1, 1), 0xFF000000u);
    // The same file read as masked: the missing mask is all transparent.
    ReadKBitmap18(dir / "short.k", dir / "short.bmp", true, "image/bmp");
    EXPECT_EQ(LoadBitmap(dir / "short.bmp").GetPixel(0, 0), 0x00FCFCFCu);

    // An unknown MIME type reads the file but writes nothing.
    ReadKBitmap18(dir / "short.k", dir / "short.tif", false, "image/tiff");
    EXPECT_FALSE(test::Exists(dir / "short.tif"));
}

// Each refused header leaves no destination behind.
TEST_F(KBitmap, ReadersRefuseUnusableSizes) {
    struct Case {
        KHeader h;
        bool is18;
        const char* words;  // part of the message
    };
    const Case cases[] = {
        {{0, 5, 18, 0}, true, "0 x 5"},
        {{4, -1, 18, 12}, true, "4 x -1"},
        {{-3, 2, 32, -12}, false, "-3 x 2"},
        {{4, 4, 18, 8}, true, "fewer than its 12"},       // stride shorter than a row
        {{4, 4, 32, -16}, false, "fewer than its 16"},
        {{641, 480, 32, 2564}, false, "1230720 bytes"},    // beyond the work area
        {{1, 0x40000000, 18, 4}, true, "4294967296 bytes"},  // stride x height beyond 32 bits
    };
    for (const Case& c : cases) {
        test::WriteBytes(dir / "bad.k", KFile(c.h.width, c.h.height, c.h.depth, c.h.stride));
        const auto e = test::Caught<DataError>([&] {
            if (c.is18) {
                ReadKBitmap18(dir / "bad.k", dir / "bad.png", true, "image/png");
            } else {
                ReadKBitmap32(dir / "bad.k", dir / "bad.png", "image/png");
            }
        });
        ASSERT_TRUE(e) << c.words << " was accepted";
        EXPECT_NE(std::string(e->what()).find(c.words), std::string::npos) << e->what();
        EXPECT_EQ(e->Path(), dir / "bad.k");
        EXPECT_FALSE(test::Exists(dir / "bad.png"));
    }
    // The largest picture the work areas hold is read.
    test::WriteBytes(dir / "big.k", KFile(640, 480, 32, 2560));
    ReadKBitmap32(dir / "big.k", dir / "big.bmp", "image/bmp");
    EXPECT_EQ(LoadBitmap(dir / "big.bmp").Width(), 640);

    EXPECT_THROW(ReadKBitmap32(dir / "missing.k", dir / "x.png", "image/png"), IoError);
    EXPECT_THROW(ReadKBitmap32(dir / "big.k", dir / "no/x.png", "image/png"), IoError);
}

TEST_F(KBitmap, WritersRefuseUnusableSources) {
    EXPECT_THROW(WriteKBitmap32(Source(Bitmap(641, 480), "wide.bmp", "image/bmp"), dir / "a.k"), DataError);
    EXPECT_THROW(WriteKBitmap18(Source(Bitmap(800, 600), "huge.bmp", "image/bmp"), dir / "a.k", false), DataError);
    test::WriteText(dir / "text.png", "not a picture");
    EXPECT_THROW(WriteKBitmap18(dir / "text.png", dir / "a.k", true), DataError);
    EXPECT_THROW(WriteKBitmap32(dir / "missing.png", dir / "a.k"), IoError);
    EXPECT_FALSE(test::Exists(dir / "a.k"));

    const std::string ok = Source(Bitmap(640, 480), "fits.bmp", "image/bmp");
    WriteKBitmap32(ok, dir / "a.k");
    EXPECT_EQ(test::ReadBytes(dir / "a.k").size(), 16u + 640 * 480 * 4);
    EXPECT_THROW(WriteKBitmap18(ok, dir / "no/a.k", true), IoError);
}

}  // namespace
}  // namespace tavro
