#include <gtest/gtest.h>

#include "imaging/bitmap.h"
#include "imaging/conversion.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/paths.h"
#include "support/testsupport.h"

namespace tavro {
namespace {

using test::Bytes;
using test::KFile;
using test::TempDir;

// 2 x 1 at 18 bits: stride 8 (6 rounded up to 4). Red 63 (00 F0 03), then blue 63.
const Bytes kPixels18 = {0x00, 0xF0, 0x03, 0x3F, 0x00, 0x00, 0, 0};
// One mask row of 4 bytes: pixel 0 opaque (bit 0), pixel 1 transparent.
const Bytes kMask18 = {0x01, 0, 0, 0};

// .k files are told by their header: see DecodeRawAndKUseTheDestinationAsGiven.
TEST(Conversion, KindFromTheUpperCaseExtension) {
    TempDir dir;
    EXPECT_THROW(DetectPictureKind(dir / "missing.k"), IoError);
    // .raw and .g are told by name alone: these files do not exist.
    for (const char* name : {"icon.raw", "ICON.RAW", "Icon.Raw"}) EXPECT_EQ(DetectPictureKind(dir / name), pkRaw);
    EXPECT_EQ(DetectPictureKind(dir / "a.G"), pkG);
    for (const char* name : {"readme", "icon.bmp", "k/icon", "icon.kk"}) EXPECT_EQ(DetectPictureKind(dir / name), pkOther);
}

TEST(Conversion, DecodeRefusesWithoutWriting) {
    TempDir dir;
    test::WriteText(dir / "readme", "text");
    test::WriteText(dir / "icon.bmp", "BM");
    for (const char* name : {"readme", "icon.bmp", "icon(0x16).raw", "icon(16x1a).raw", "icon.raw"}) {
        std::string dest = dir / "out.png";
        TPictureKind kind = pkG;
        // The .raw files do not exist: a name without a usable size is not opened.
        EXPECT_FALSE(DecodePicture(dir / name, dest, tfPng, kind)) << name;
        EXPECT_EQ(kind, UpperExtension(name) == ".RAW" ? pkRaw : pkOther);
        EXPECT_EQ(dest, dir / "out.png");
    }
    EXPECT_EQ(ListPlainFiles(dir.Path()).size(), 2u);
    std::string dest = dir / "out.png";
    TPictureKind kind = pkG;
    EXPECT_THROW(DecodePicture(dir / "icon(16x-1).raw", dest, tfPng, kind), DataError);
    EXPECT_EQ(ListPlainFiles(dir.Path()).size(), 2u);
}

TEST(Conversion, DecodeGKeepsTheContentAndRenamesByIt) {
    TempDir dir;
    const Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0};
    test::WriteBytes(dir / "icon.g", png);
    std::string dest = dir / "icon.bmp";
    TPictureKind kind = pkOther;
    EXPECT_TRUE(DecodePicture(dir / "icon.g", dest, tfBmp, kind));
    EXPECT_EQ(kind, pkG);
    EXPECT_EQ(dest, dir / "icon.png");
    EXPECT_EQ(test::ReadBytes(dest), png);
    EXPECT_FALSE(test::Exists(dir / "icon.bmp"));
}

TEST(Conversion, DecodeRawAndKUseTheDestinationAsGiven) {
    TempDir dir;
    test::WriteBytes(dir / "icon(2x1).raw", {0xF8, 0x00, 0x00, 0x1F, 0b01000000, 0});
    test::WriteBytes(dir / "plain.k", KFile(2, 1, 18, 8, kPixels18));
    Bytes masked = kPixels18;
    masked.insert(masked.end(), kMask18.begin(), kMask18.end());
    test::WriteBytes(dir / "ICON.K", KFile(2, 1, 18, 8, masked));
    test::WriteBytes(dir / "deep.k", KFile(1, 1, 24, 4, {1, 2, 3, 4}));  // any depth but 18 is 32-bit

    const struct {
        const char* source;
        TPictureKind kind;
        std::uint32_t first, secondAlpha;
    } cases[] = {
        {"icon(2x1).raw", pkRaw, PackArgb(255, 248, 0, 0), 0},
        {"plain.k", pkK18, PackArgb(255, 252, 0, 0), 255},
        {"ICON.K", pkK18Masked, PackArgb(255, 252, 0, 0), 0},
        {"deep.k", pkK32, PackArgb(4, 3, 2, 1), 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DetectPictureKind(dir / c.source), c.kind) << c.source;
        // The caller's extension stands, even when it does not match the format.
        std::string dest = dir / "out.bmp";
        TPictureKind kind = pkOther;
        EXPECT_TRUE(DecodePicture(dir / c.source, dest, tfPng, kind)) << c.source;
        EXPECT_EQ(kind, c.kind);
        EXPECT_EQ(dest, dir / "out.bmp");
        const Bitmap b = LoadBitmap(dest);
        ASSERT_FALSE(b.IsNull()) << c.source;
        EXPECT_EQ(b.GetPixel(0, 0), c.first) << c.source;
        if (b.Width() > 1) {
            EXPECT_EQ(AlphaOf(b.GetPixel(1, 0)), c.secondAlpha) << c.source;
        }
    }
}

TEST(Conversion, EncodeCopiesGifPngAndGModesAndIgnoresOtherModes) {
    TempDir dir;
    const Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0};
    test::WriteBytes(dir / "photo.gif", gif);
    test::WriteBytes(dir / "photo.PNG", gif);
    test::WriteBytes(dir / "photo.jpg", jpeg);

    std::string dest = dir / "out/photo.bmp";
    MakeFolder(dir / "out");
    EncodePicture(dir / "photo.gif", pkK18Masked, dest);  // a GIF is a .g whatever was asked
    EXPECT_EQ(dest, dir / "out/photo.g");
    EXPECT_EQ(test::ReadBytes(dest), gif);
    dest = dir / "out/second";
    EncodePicture(dir / "photo.PNG", pkRaw, dest);
    EXPECT_EQ(dest, dir / "out/second.g");
    dest = dir / "out/third.bmp";
    EncodePicture(dir / "photo.jpg", pkG, dest);
    EXPECT_EQ(dest, dir / "out/third.g");
    EXPECT_EQ(test::ReadBytes(dest), jpeg);
    EXPECT_EQ(ListPlainFiles(dir / "out").size(), 3u);

    for (int mode : {5, 6, 255}) {
        dest = dir / "none.bmp";
        EncodePicture(dir / "photo.jpg", static_cast<std::uint8_t>(mode), dest);
        EXPECT_EQ(dest, dir / "none.bmp");
    }
    EXPECT_EQ(ListPlainFiles(dir.Path()).size(), 3u);
}

TEST(Conversion, EncodeKModesKeepTheirVariant) {
    TempDir dir;
    Bitmap b(3, 2);
    b.SetPixel(0, 0, PackArgb(255, 255, 0, 0));
    SaveBitmap(b, dir / "in.bmp", "image/bmp");
    // 3 x 2: 18-bit rows of 12 bytes, mask rows of 4; 32-bit rows of 12.
    const struct {
        std::uint8_t mode;
        TPictureKind kind;
        std::size_t size;
    } cases[] = {{pkK18Masked, pkK18Masked, 16 + 24 + 8}, {pkK18, pkK18, 16 + 24}, {pkK32, pkK32, 16 + 24}};
    for (const auto& c : cases) {
        std::string dest = dir / "out.bmp";
        EncodePicture(dir / "in.bmp", c.mode, dest);
        EXPECT_EQ(dest, dir / "out.k");
        EXPECT_EQ(test::ReadBytes(dest).size(), c.size) << int(c.mode);
        EXPECT_EQ(DetectPictureKind(dest), c.kind);
    }
}

}  // namespace
}  // namespace tavro
