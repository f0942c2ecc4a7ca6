// The imaging layer: the BMP writer's layout, lossless round trips, what is never
// decoded, the alpha of 32-bit BMP files, GIF palettes, and failed saves.
#include "imaging/bitmap.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "imaging/bmpfile.h"
#include "imaging/errors.h"
#include "support/testsupport.h"

namespace tavro {
namespace {

using namespace test;

// Rows of a 2 x 2 32-bit bitmap in file order, B G R A: (10,20,30) alpha 0x40 and
// (1,2,3) alpha 0, then (40,50,60) opaque and (4,5,6) alpha 1.
const Bytes kRows = {30, 20, 10, 0x40, 3, 2, 1, 0, 60, 50, 40, 0xFF, 6, 5, 4, 0x01};

TEST(Bitmap, BmpWriterLayout) {
    TempDir dir;
    Bitmap b(3, 2);
    b.SetPixel(0, 0, 0x80102030u);  // top left
    b.SetPixel(2, 1, 0x00A0B0C0u);  // bottom right, transparent with colour
    SaveBitmap(b, dir / "x.bmp", "image/bmp");
    // BI_RGB, positive height: the bottom row first, each pixel B G R A.
    const Bytes rows = {0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0xB0, 0xA0, 0x00,   // bottom row
                        0x30, 0x20, 0x10, 0x80, 0, 0, 0, 0, 0, 0, 0, 0};  // top row
    EXPECT_EQ(ReadBytes(dir / "x.bmp"), Bmp32(3, 2, 0, rows));
}

TEST(Bitmap, LosslessRoundTripsAndWhatIsNeverDecoded) {
    TempDir dir;
    // Loaded by content, whatever the name.
    for (const char* mime : {"image/bmp", "image/png"}) {
        SaveBitmap(OddPicture(), dir / "odd.gif", mime);
        EXPECT_TRUE(OddPicture().Image() == LoadBitmap(dir / "odd.gif").Image()) << mime;
    }
    // Rows that each make another PNG row filter the best one: noise, then zeros
    // (none), noise again, a copy of it (up), each channel the mean of its left and
    // upper neighbours (average); the odd picture takes sub and Paeth.
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
    EXPECT_TRUE(filters.Image() == LoadBitmap(dir / "filters.png").Image());
    SaveBitmap(Bitmap(1024, 1024), dir / "limit.png", "image/png");
    EXPECT_EQ(LoadBitmap(dir / "limit.png").Width(), 1024);
    // A few bytes announcing 1025 x 1024 pixels, top-down, are refused before decoding.
    const Bytes bomb = Bmp32(1025, -1024, 0, kRows);
    ASSERT_FALSE(QImage::fromData(bomb.data(), static_cast<int>(bomb.size()), "BMP").isNull());  // Qt alone decodes it
    WriteBytes(dir / "bomb.bmp", bomb);
    WriteText(dir / "text.png", "not a picture at all");
    for (const char* name : {"bomb.bmp", "text.png", "missing.png", ""}) {
        EXPECT_TRUE(LoadBitmap(dir / name).IsNull()) << name;
    }
    // Pictures found by fuzzing whose few bytes announce millions of pixels.
    for (const auto& e : std::filesystem::directory_iterator(std::string(TAVRO_TEST_DATA) + "/fuzz/kwrite"))
        EXPECT_TRUE(LoadBitmap(e.path()).IsNull()) << e.path();
}

// Qt reads a 32-bit BMP as opaque; for BI_RGB the alpha is the fourth byte of each
// stored pixel, bottom-up (the first row stored is the bottom row) and top-down. With
// BI_BITFIELDS colour masks and no alpha mask the picture is opaque.
TEST(Bitmap, ThirtyTwoBitBmpAlphaForEveryRowOrderAndHeader) {
    TempDir dir;
    for (std::uint32_t compression : {0u, 3u}) {
        for (int height : {2, -2}) {
            SCOPED_TRACE(std::to_string(compression) + " " + std::to_string(height));
            WriteBytes(dir / "a.bmp", Bmp32(2, height, compression, kRows));
            const Bitmap b = LoadBitmap(dir / "a.bmp");
            const int first = height > 0 ? 1 : 0;
            const std::uint32_t opaque = compression == 0 ? 0 : 0xFF000000u;
            ASSERT_EQ(b.Height(), 2);
            EXPECT_EQ(b.GetPixel(0, first), 0x400A141Eu | opaque);
            EXPECT_EQ(b.GetPixel(1, first), 0x00010203u | opaque);
            EXPECT_EQ(b.GetPixel(0, 1 - first), 0xFF28323Cu);
            EXPECT_EQ(b.GetPixel(1, 1 - first), 0x01040506u | opaque);
        }
    }
    // Only a 32-bit bitmap of the decoded picture's size gives its alpha. (That the pass
    // reads only bytes the file has is left to the sanitizers over the fuzz seeds.)
    Bytes bits24 = Bmp32(2, -2, 0, kRows);
    bits24[28] = 24;
    QImage image(2, 2, QImage::Format_ARGB32), other(3, 2, QImage::Format_ARGB32);
    EXPECT_FALSE(ApplyBmp32Alpha(bits24, image));
    EXPECT_FALSE(ApplyBmp32Alpha(Bmp32(2, -2, 0, kRows), other));
}

// Alpha 128 to 255 is visible, below it transparent. Up to 255 colours are kept
// exactly; more are quantized to a dithered palette, close to the original in every channel.
TEST(Bitmap, GifKeepsFewColoursExactlyAndQuantizesMany) {
    TempDir dir;
    Bitmap few(47, 33);
    for (int y = 0; y < 33; ++y) {
        for (int x = 0; x < 47; ++x) {
            const int c = (x + 47 * y) % 256;
            few.SetPixel(x, y, c == 255 ? 0x7FFFFFFFu : PackArgb(128 + (c % 128), c, 255 - c, (c * 7) & 0xFF));
        }
    }
    const Bitmap odd = OddPicture();  // more than 255 colours
    for (const bool exact : {true, false}) {
        const Bitmap& want = exact ? few : odd;
        SaveBitmap(want, dir / "p.gif", "image/gif");
        const Bitmap got = LoadBitmap(dir / "p.gif");
        ASSERT_EQ(got.Width(), 47);
        ASSERT_EQ(got.Height(), 33);
        long error[3] = {0, 0, 0};
        for (int y = 0; y < 33; ++y) {
            for (int x = 0; x < 47; ++x) {
                const std::uint32_t w = want.GetPixel(x, y), g = got.GetPixel(x, y);
                ASSERT_EQ(AlphaOf(g), AlphaOf(w) < 128 ? 0u : 255u) << x << "," << y;
                if (AlphaOf(w) < 128) continue;
                if (exact) ASSERT_EQ(g, w | 0xFF000000u) << x << "," << y;
                for (int s : {16, 8, 0}) error[s / 8] += std::abs(int((g >> s) & 0xFF) - int((w >> s) & 0xFF));
            }
        }
        for (long e : error) EXPECT_LT(e / (47 * 33), 16);  // per channel: not a wrong mapping or order
    }
}

TEST(Bitmap, FailedSavesAreReported) {
    TempDir dir;
    const auto e = Caught<IoError>([&] { SaveBitmap(OddPicture(), dir / "no-such-folder/x", "image/png"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Code(), ENOENT);
    EXPECT_EQ(e->Path(), dir / "no-such-folder/x");
    EXPECT_THROW(SaveBitmap(OddPicture(), "/dev/full", "image/bmp"), IoError);
    EXPECT_THROW(SaveBitmap(Bitmap(), dir / "empty.png", "image/png"), DataError);
    // An unknown MIME type (the comparison is exact) writes nothing and says nothing.
    for (const char* mime : {"image/tiff", "image/PNG"}) SaveBitmap(OddPicture(), dir / "a.tif", mime);
    EXPECT_TRUE(FolderNames(dir.Path()).empty());
}

}  // namespace
}  // namespace tavro
