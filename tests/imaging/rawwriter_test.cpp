// The .raw writer: the exact inverse of the reader, under a name that carries the size.
#include <gtest/gtest.h>

#include "imaging/bitmap.h"
#include "imaging/conversion.h"
#include "imaging/errors.h"
#include "imaging/rawpicture.h"
#include "support/testsupport.h"

namespace tavro {
namespace {

using test::Bytes;
using test::TempDir;

TEST(RawWriter, WritesBackWhatTheReaderRead) {
    TempDir dir;
    // 3 x 3 with every kind of pixel, transparent ones keeping their colour; 9 mask
    // bits need two bytes.
    const Bytes raw = {0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F, 0xFF, 0xFF, 0x08, 0x21,
                       0x00, 0x00, 0x00, 0x00, 0x12, 0x34, 0xF8, 0x1F, 0b01000100, 0b10000000};
    test::WriteBytes(dir / "in(3x3).raw", raw);
    std::string icon = dir / "icon.bmp";
    TPictureKind kind = pkOther;
    ASSERT_TRUE(DecodePicture(dir / "in(3x3).raw", icon, tfBmp, kind));
    std::string dest = dir / "out.bmp";
    EncodePicture(icon, pkRaw, dest);
    EXPECT_EQ(dest, dir / "out(3x3).raw");
    EXPECT_EQ(test::ReadBytes(dest), raw);

    // Channels are cut to 5-6-5; alpha 0 alone is transparent.
    Bitmap b(1, 2);
    b.SetPixel(0, 0, PackArgb(1, 0xFF, 0x07, 0x0F));
    b.SetPixel(0, 1, PackArgb(0, 0x00, 0x00, 0x00));
    SaveBitmap(b, dir / "cut.png", "image/png");
    WriteRawPicture(dir / "cut.png", dest = dir / "cut.raw");
    EXPECT_EQ(test::ReadBytes(dir / "cut(1x2).raw"), (Bytes{0xF8, 0x21, 0x00, 0x00, 0x40, 0x00}));

    // Beyond the pixels a .raw picture holds: refused, nothing written.
    SaveBitmap(Bitmap(197, 197), dir / "big.bmp", "image/bmp");
    dest = dir / "big.raw";
    EXPECT_THROW(WriteRawPicture(dir / "big.bmp", dest), DataError);
    EXPECT_FALSE(test::Exists(dir / "big(197x197).raw"));
}

}  // namespace
}  // namespace tavro
