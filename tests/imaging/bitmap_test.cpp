#include <gtest/gtest.h>

#include <QImage>

#include <cerrno>
#include <cstdlib>

#include "imaging/bitmap.h"
#include "imaging/bmpfile.h"
#include "imaging/errors.h"
#include "support/testsupport.h"

namespace tavro {
namespace {

using test::Bytes;
using test::TempDir;

using test::OddPicture;
using test::SamePixels;
using test::WordAt;

// A hand-built 32-bit bitmap of 2 x 2 pixels, rows in file order, 4 bytes each B G R A.
Bytes Bmp32(std::int32_t height, std::uint32_t compression, const Bytes& rows) {
    const bool bitfields = compression == 3;
    const std::uint32_t offset = 54 + (bitfields ? 12 : 0);
    Bytes b;
    test::AppendText(b, "BM");
    test::AppendU32(b, offset + static_cast<std::uint32_t>(rows.size()));  // file size
    test::AppendU32(b, 0);                                                 // reserved
    test::AppendU32(b, offset);                                            // pixel data offset
    test::AppendU32(b, 40);                                                // info header size
    test::AppendU32(b, 2);                                                 // width
    test::AppendU32(b, static_cast<std::uint32_t>(height));                // height, < 0 top-down
    test::AppendU32(b, 1 | 32 << 16);                                      // planes 1, 32 bits per pixel
    test::AppendU32(b, compression);
    for (int i = 0; i < 5; ++i) test::AppendU32(b, 0);  // image size, resolution, colours
    if (bitfields) {
        test::AppendU32(b, 0x00FF0000);  // red mask
        test::AppendU32(b, 0x0000FF00);  // green mask
        test::AppendU32(b, 0x000000FF);  // blue mask; no alpha mask in a 40-byte header
    }
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

// Row 0 of the file: (10,20,30) alpha 0x40 then (1,2,3) alpha 0; row 1: two opaque-ish pixels.
const Bytes kRows = {30, 20, 10, 0x40, 3, 2, 1, 0, 60, 50, 40, 0xFF, 6, 5, 4, 0x01};

TEST(Bitmap, PixelsAreAddressedByColumnThenRowAndPackedArgb) {
    Bitmap b(3, 2);
    EXPECT_EQ(b.GetPixel(2, 1), 0u);  // blank is transparent black
    b.SetPixel(2, 0, PackArgb(0x12, 0x34, 0x56, 0x78));
    EXPECT_EQ(b.GetPixel(2, 0), 0x12345678u);
    EXPECT_EQ(b.Image().pixel(2, 0), 0x12345678u);  // column 2 of the top row, straight alpha
    EXPECT_TRUE(Bitmap(0, 5).IsNull());
    EXPECT_EQ(Bitmap(-1, 5).Width(), 0);
}

// The four encoders themselves are found by the round trips and SaveFailuresAreReported.
TEST(Bitmap, EncodersAreFoundByExactMimeType) {
    EXPECT_EQ(FindEncoderByMime("image/PNG"), -1);
    EXPECT_EQ(FindEncoderByMime("image/tiff"), -1);
    TempDir dir;
    SaveBitmap(OddPicture(), dir / "a.tif", "image/tiff");
    EXPECT_FALSE(test::Exists(dir / "a.tif"));
}

TEST(Bitmap, BmpWriterLayoutFieldByField) {
    TempDir dir;
    Bitmap b(3, 2);
    b.SetPixel(0, 0, 0x80102030u);  // top left
    b.SetPixel(2, 1, 0x00A0B0C0u);  // bottom right, transparent with colour
    SaveBitmap(b, dir / "x.bmp", "image/bmp");
    const Bytes f = test::ReadBytes(dir / "x.bmp");
    ASSERT_EQ(f.size(), 54u + 3 * 2 * 4);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(WordAt(f, 2), f.size());         // file size
    EXPECT_EQ(WordAt(f, 6), 0u);               // reserved
    EXPECT_EQ(WordAt(f, 10), 54u);             // pixel data offset
    EXPECT_EQ(WordAt(f, 14), 40u);             // info header size
    EXPECT_EQ(WordAt(f, 18), 3u);              // width
    EXPECT_EQ(WordAt(f, 22), 2u);              // height, positive: bottom-up
    EXPECT_EQ(WordAt(f, 26), 1u | 32u << 16);  // planes 1, 32 bits per pixel
    EXPECT_EQ(WordAt(f, 30), 0u);              // BI_RGB
    EXPECT_EQ(WordAt(f, 34), 24u);             // pixel data size
    for (std::size_t off = 38; off < 54; off += 4) EXPECT_EQ(WordAt(f, off), 0u) << off;
    // The bottom row comes first: its third pixel is B G R A = C0 B0 A0 00.
    EXPECT_EQ(WordAt(f, 54 + 8), 0x00A0B0C0u);
    // The top row follows; its first pixel is 30 20 10 80.
    EXPECT_EQ(WordAt(f, 54 + 12), 0x80102030u);
}

TEST(Bitmap, BmpAndPngRoundTripsAreLosslessAndReadByContentNotName) {
    TempDir dir;
    const Bitmap want = OddPicture();
    SaveBitmap(want, dir / "odd.bmp", "image/bmp");
    EXPECT_TRUE(SamePixels(want, LoadBitmap(dir / "odd.bmp")));
    SaveBitmap(want, dir / "really-a-png.bmp", "image/png");
    EXPECT_TRUE(SamePixels(want, LoadBitmap(dir / "really-a-png.bmp")));

    // Rows that each make another PNG row filter the best one: noise, then zeros
    // (none), noise again, a copy of it (up), each channel the mean of its left and
    // upper neighbours (average); the picture above takes sub and Paeth.
    Bitmap filters(9, 5);
    std::uint32_t seed = 12345;
    for (int y : {0, 2}) {
        for (int x = 0; x < 9; ++x) filters.SetPixel(x, y, seed = seed * 1103515245u + 12345u);
    }
    for (int x = 0; x < 9; ++x) {
        filters.SetPixel(x, 3, filters.GetPixel(x, 2));
        std::uint32_t mean = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const std::uint32_t left = x > 0 ? (filters.GetPixel(x - 1, 4) >> shift) & 0xFF : 0;
            mean |= ((left + ((filters.GetPixel(x, 3) >> shift) & 0xFF)) / 2) << shift;
        }
        filters.SetPixel(x, 4, mean);
    }
    SaveBitmap(filters, dir / "filters.png", "image/png");
    EXPECT_TRUE(SamePixels(filters, LoadBitmap(dir / "filters.png")));

    test::WriteText(dir / "text.png", "not a picture at all");
    EXPECT_TRUE(LoadBitmap(dir / "text.png").IsNull());
    EXPECT_EQ(LoadBitmap(dir / "missing.png").Width(), 0);
    EXPECT_EQ(LoadBitmap(dir.Path()).Height(), 0);  // a folder
}

TEST(Bitmap, PicturesBeyondThePixelLimitAreNotDecoded) {
    TempDir dir;
    SaveBitmap(Bitmap(1024, 1024), dir / "limit.png", "image/png");
    EXPECT_EQ(LoadBitmap(dir / "limit.png").Width(), 1024);
    // A few bytes announcing 1025 x 1024 pixels, top-down, are refused before decoding.
    Bytes f = Bmp32(-1024, 0, kRows);
    f[18] = 0x01, f[19] = 0x04;  // width 1025
    test::WriteBytes(dir / "bomb.bmp", f);
    ASSERT_FALSE(QImage::fromData(f.data(), static_cast<int>(f.size()), "BMP").isNull());  // Qt alone decodes it
    EXPECT_TRUE(LoadBitmap(dir / "bomb.bmp").IsNull());
}

TEST(Bitmap, ThirtyTwoBitBmpAlphaIsReadForEveryRowOrderAndHeader) {
    TempDir dir;
    for (std::uint32_t compression : {0u, 3u}) {
        // BI_BITFIELDS without an alpha mask (a 40-byte header has none) is opaque.
        const auto a = [&](std::uint32_t argb) { return compression == 0 ? argb : argb | 0xFF000000u; };
        // Bottom-up: the file's first row is the picture's bottom row.
        test::WriteBytes(dir / "up.bmp", Bmp32(2, compression, kRows));
        Bitmap up = LoadBitmap(dir / "up.bmp");
        ASSERT_EQ(up.Width(), 2) << compression;
        EXPECT_EQ(up.GetPixel(0, 1), a(0x400A141Eu));
        EXPECT_EQ(up.GetPixel(1, 1), a(0x00010203u));
        EXPECT_EQ(up.GetPixel(0, 0), a(0xFF28323Cu));
        EXPECT_EQ(up.GetPixel(1, 0), a(0x01040506u));

        // Top-down (negative height): the first row is the top row.
        test::WriteBytes(dir / "down.bmp", Bmp32(-2, compression, kRows));
        Bitmap down = LoadBitmap(dir / "down.bmp");
        ASSERT_EQ(down.Height(), 2) << compression;
        EXPECT_EQ(down.GetPixel(0, 0), a(0x400A141Eu));
        EXPECT_EQ(down.GetPixel(1, 1), a(0x01040506u));
    }
}

TEST(Bitmap, ThirtyTwoBitBmpAlphaStaysInsideTheFile) {
    // The alpha pass runs on whatever Qt decoded; here it is given a shorter file
    // directly, as Qt itself may or may not decode one.
    const Bytes f = Bmp32(-2, 0, kRows);
    QImage image(2, 2, QImage::Format_ARGB32);
    image.fill(0xFF000000u);
    // Cut after the first pixel of the second row (top-down): three pixels have bytes.
    const Bytes cut(f.begin(), f.end() - 4);
    ASSERT_TRUE(ApplyBmp32Alpha(cut, image));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0x40);
    EXPECT_EQ(qAlpha(image.pixel(1, 0)), 0x00);
    EXPECT_EQ(qAlpha(image.pixel(0, 1)), 0xFF);
    EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0xFF);  // no bytes: unchanged

    Bytes far = f;
    far[10] = 0xF0, far[11] = 0xFF, far[12] = 0xFF, far[13] = 0xFF;  // pixel offset near 2^32
    image.fill(0xFF000000u);
    EXPECT_TRUE(ApplyBmp32Alpha(far, image));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0xFF);

    Bytes bits24 = f;
    bits24[28] = 24;  // not a 32-bit bitmap: nothing is taken
    EXPECT_FALSE(ApplyBmp32Alpha(bits24, image));
    QImage other(3, 2, QImage::Format_ARGB32);  // sizes disagree
    EXPECT_FALSE(ApplyBmp32Alpha(f, other));
}

TEST(Bitmap, GifKeepsFewColoursExactlyAndAlphaBelowHalfTransparent) {
    TempDir dir;
    Bitmap want(47, 33);
    for (int y = 0; y < 33; ++y) {
        for (int x = 0; x < 47; ++x) {
            // 255 visible colours (alpha 128..255 all shown opaque) plus pixels of alpha 127.
            const int c = (x + 47 * y) % 256;
            want.SetPixel(x, y, c == 255 ? 0x7FFFFFFFu : PackArgb(128 + (c % 128), c, 255 - c, (c * 7) & 0xFF));
        }
    }
    SaveBitmap(want, dir / "few.gif", "image/gif");
    const Bitmap got = LoadBitmap(dir / "few.gif");
    ASSERT_EQ(got.Width(), 47);
    ASSERT_EQ(got.Height(), 33);
    for (int y = 0; y < 33; ++y) {
        for (int x = 0; x < 47; ++x) {
            const std::uint32_t w = want.GetPixel(x, y), g = got.GetPixel(x, y);
            if (AlphaOf(w) < 128) {
                ASSERT_EQ(AlphaOf(g), 0u) << x << "," << y;
            } else {
                ASSERT_EQ(g, w | 0xFF000000u) << x << "," << y;
            }
        }
    }
}

TEST(Bitmap, GifWithManyColoursIsQuantizedAndKeepsTransparency) {
    TempDir dir;
    const Bitmap want = OddPicture();  // more than 255 colours
    SaveBitmap(want, dir / "many.gif", "image/gif");
    const Bitmap got = LoadBitmap(dir / "many.gif");
    ASSERT_EQ(got.Width(), 47);
    long error = 0;
    for (int y = 0; y < 33; ++y) {
        for (int x = 0; x < 47; ++x) {
            const std::uint32_t w = want.GetPixel(x, y), g = got.GetPixel(x, y);
            ASSERT_EQ(AlphaOf(g), AlphaOf(w) < 128 ? 0u : 255u) << x << "," << y;
            if (AlphaOf(w) >= 128) error += std::abs(static_cast<int>(RedOf(g)) - static_cast<int>(RedOf(w)));
        }
    }
    EXPECT_LT(error / (47 * 33), 16);  // dithered palette colours, not a wrong mapping
}

TEST(Bitmap, JpegIsWrittenAndReadWithoutAnApplicationObject) {
    TempDir dir;
    Bitmap want(47, 33);
    for (int y = 0; y < 33; ++y) {
        for (int x = 0; x < 47; ++x) want.SetPixel(x, y, x < 20 ? 0x00C04020u : 0x80208040u);
    }
    SaveBitmap(want, dir / "p.jpg", "image/jpeg");
    const Bitmap got = LoadBitmap(dir / "p.jpg");
    ASSERT_EQ(got.Width(), 47);
    ASSERT_EQ(got.Height(), 33);
    // Alpha is dropped; the colour under it is kept, not blended to black.
    const std::uint32_t p = got.GetPixel(5, 5);
    EXPECT_EQ(AlphaOf(p), 255u);
    EXPECT_NEAR(static_cast<int>(RedOf(p)), 0xC0, 6);
    EXPECT_NEAR(static_cast<int>(GreenOf(p)), 0x40, 6);
}

TEST(Bitmap, SaveFailuresAreReported) {
    TempDir dir;
    for (const char* mime : {"image/bmp", "image/png", "image/gif", "image/jpeg"}) {
        const auto e =
            test::Caught<IoError>([&] { SaveBitmap(OddPicture(), dir / "no-such-folder/x", mime); });
        ASSERT_TRUE(e) << mime << " reported success";
        EXPECT_EQ(e->Code(), ENOENT) << mime;
        EXPECT_EQ(e->Path(), dir / "no-such-folder/x");
    }
    EXPECT_THROW(SaveBitmap(OddPicture(), "/dev/full", "image/png"), IoError);
    EXPECT_THROW(SaveBitmap(Bitmap(), dir / "empty.png", "image/png"), DataError);
    EXPECT_FALSE(test::Exists(dir / "empty.png"));
}

}  // namespace
}  // namespace tavro
