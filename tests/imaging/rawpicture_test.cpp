#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "imaging/bitmap.h"
#include "imaging/errors.h"
#include "imaging/rawpicture.h"
#include "support/testsupport.h"

namespace tavro {
namespace {

using test::Bytes;
using test::TempDir;

struct Size {
    std::int32_t w = -1, h = -1;
    bool operator==(const Size&) const = default;
};

std::optional<Size> Parse(const std::string& name) {
    Size s;
    if (!ParseRawSize(name, s.w, s.h)) return std::nullopt;
    return s;
}

TEST(RawSize, ReadFromTheFileNamePart) {
    EXPECT_EQ(Parse("icon(176x220).raw"), (Size{176, 220}));
    EXPECT_EQ(Parse("icon(176X220).RAW"), (Size{176, 220}));
    EXPECT_EQ(Parse("set (2)/icon(16x16).raw"), (Size{16, 16}));  // folder's "(" ignored
    EXPECT_EQ(Parse("icon(16x9).raw"), (Size{16, 9}));
    EXPECT_EQ(Parse("icon(16x09).raw"), (Size{16, 9}));
    EXPECT_EQ(Parse("(1x2)"), (Size{1, 2}));
    // Parsed, but with a size that callers must not use.
    EXPECT_EQ(Parse("icon(0x16).raw"), (Size{0, 16}));
    EXPECT_EQ(Parse("icon(16x1a).raw"), (Size{16, 0}));
    EXPECT_EQ(Parse("icon(16x2147483648).raw"), (Size{16, 0}));
    EXPECT_EQ(Parse("icon(16x-5).raw"), (Size{16, -5}));
    EXPECT_EQ(Parse("icon(2147483647x1).raw"), (Size{2147483647, 1}));
}

TEST(RawSize, MalformedNamesFail) {
    for (const char* name : {"icon.raw", "icon(16x16", "icon16x16).raw", "icon(1x).raw", "icon(16x).raw",
                             "icon(x16).raw", "icon(16*16).raw", "icon()16x16.raw", "(16x16)/icon.raw",
                             "icon(16x16.r)aw"}) {
        EXPECT_EQ(Parse(name), std::nullopt) << name;
    }
    EXPECT_THROW(Parse("icon(2147483648x1).raw"), DataError);
    EXPECT_THROW(Parse("icon(99999999999999999999x1).raw"), DataError);
}

Bitmap DecodeRaw(const TempDir& dir, const Bytes& content, int w, int h) {
    test::WriteBytes(dir / "in.raw", content);
    ReadRawPicture(dir / "in.raw", dir / "out.png", w, "image/png", h);
    return LoadBitmap(dir / "out.png");
}

TEST(RawPicture, PixelsAndMaskBitsInFileOrder) {
    TempDir dir;
    // 3 x 3: 9 pixels, so the mask's second byte holds the last pixel (row 2, column 2).
    Bytes raw = {0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F,   // red, green, blue
                 0xFF, 0xFF, 0x08, 0x21, 0x00, 0x00,   // white, 1/1/1, black
                 0x00, 0x00, 0x00, 0x00, 0xF8, 0x1F};  // ..., magenta
    raw.push_back(0b01000100);                         // pixels 1 and 5 transparent
    raw.push_back(0b10000000);                         // pixel 8 transparent
    const Bitmap b = DecodeRaw(dir, raw, 3, 3);
    ASSERT_EQ(b.Width(), 3);
    ASSERT_EQ(b.Height(), 3);
    EXPECT_EQ(b.GetPixel(0, 0), PackArgb(255, 248, 0, 0));
    EXPECT_EQ(AlphaOf(b.GetPixel(1, 0)), 0u);
    EXPECT_EQ(b.GetPixel(2, 0), PackArgb(255, 0, 0, 248));
    EXPECT_EQ(b.GetPixel(0, 1), PackArgb(255, 248, 252, 248));  // low bits stay zero
    EXPECT_EQ(b.GetPixel(1, 1), PackArgb(255, 8, 4, 8));
    EXPECT_EQ(AlphaOf(b.GetPixel(2, 1)), 0u);
    EXPECT_EQ(b.GetPixel(1, 2), PackArgb(255, 0, 0, 0));
    EXPECT_EQ(AlphaOf(b.GetPixel(2, 2)), 0u);

    // Green alone, on a picture of its own.
    const Bitmap g = DecodeRaw(dir, {0x07, 0xE0, 0, 0}, 1, 1);
    EXPECT_EQ(g.GetPixel(0, 0), PackArgb(255, 0, 252, 0));
}

TEST(RawPicture, ShortFilesReadMissingBytesAsZero) {
    TempDir dir;
    // 16 x 16 of pixels only: 512 bytes, no mask, so every pixel is opaque.
    const Bitmap full = DecodeRaw(dir, Bytes(512, 0xFF), 16, 16);
    ASSERT_EQ(full.Width(), 16);
    EXPECT_EQ(full.GetPixel(15, 15), PackArgb(255, 248, 252, 248));
    // Cut inside the pixels: the rest is opaque black.
    const Bitmap cut = DecodeRaw(dir, Bytes(3, 0xFF), 2, 2);
    EXPECT_EQ(cut.GetPixel(0, 0), PackArgb(255, 248, 252, 248));
    EXPECT_EQ(cut.GetPixel(1, 0), PackArgb(255, 248, 224, 0));  // FF, then a missing 00
    EXPECT_EQ(cut.GetPixel(1, 1), PackArgb(255, 0, 0, 0));
}

TEST(RawPicture, UnusableSizesAreRefusedBeforeWriting) {
    TempDir dir;
    test::WriteBytes(dir / "in.raw", Bytes(8, 0));
    for (auto [w, h] : {std::pair{197, 197}, std::pair{1, 38722}, std::pair{65536, 65536}, std::pair{16, -5},
                        std::pair{-16, 5}, std::pair{0, 16}}) {
        EXPECT_THROW(ReadRawPicture(dir / "in.raw", dir / "out.png", w, "image/png", h), DataError) << w << "x" << h;
    }
    EXPECT_FALSE(test::Exists(dir / "out.png"));
    // The largest picture allowed is read.
    EXPECT_EQ(DecodeRaw(dir, Bytes(8, 0), 1, 38721).Height(), 38721);
    EXPECT_THROW(ReadRawPicture(dir / "missing.raw", dir / "out.png", 1, "image/png", 1), IoError);
}

}  // namespace
}  // namespace tavro
