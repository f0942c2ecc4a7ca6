#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "imaging/batch.h"
#include "imaging/bitmap.h"
#include "imaging/errors.h"
#include "support/testsupport.h"

namespace tavro {
namespace {

using test::Bytes;
using test::Exists;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using test::WriteText;

// A 2 x 2 18-bit .k without mask: rows of red, blue and padding.
Bytes SmallK18() {
    return test::KFile(2, 2, 18, 8, {0x00, 0xF8, 0x03, 0x3F, 0, 0, 0, 0, 0x00, 0xF8, 0x03, 0x3F, 0, 0, 0, 0});
}

const Bytes kGifBytes = {'G', 'I', 'F', '8', '9', 'a', 1, 2, 3};
const Bytes kPngBytes = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 4, 5};

void WriteBmp(const std::string& path) {
    Bitmap b(3, 2);
    b.SetPixel(0, 0, 0xFFFF0000);
    b.SetPixel(2, 1, 0x800000FF);
    SaveBitmap(b, path, "image/bmp");
}

TEST(ConvertFolder, HandsetToStandardConvertsKThenGAndPassesOverTheRest) {
    TempDir src, dst;
    WriteBytes(src / "a.k", SmallK18());
    WriteBytes(src / "a.g", kGifBytes);       // with GIF as the target, a.k and a.g both give a.gif
    WriteBytes(src / "b.G", kPngBytes);       // masks ignore case; the content gives .png
    WriteBytes(src / "c.K", SmallK18());
    WriteBytes(src / "bad.k", test::KFile(0, 0, 18, 0));  // no pixels: refused, passed over
    WriteBytes(src / ".hidden.k", SmallK18());
    std::filesystem::create_directory(src / "sub.k");
    WriteBytes(src / "photo.jpg", kGifBytes);
    WriteText(src / "notes.txt", "not a picture");

    BatchResult r = ConvertFolder(src.Path(), dst.Path(), BatchDirection::ToStandard, tfGif);
    EXPECT_EQ(r.converted, 4u);
    EXPECT_EQ(r.passedOver, 1u);
    // The .g ran after the .k, so its copy is the a.gif that remains.
    EXPECT_EQ(ReadBytes(dst / "a.gif"), kGifBytes);
    EXPECT_EQ(ReadBytes(dst / "b.png"), kPngBytes);
    EXPECT_TRUE(Exists(dst / "c.gif"));
    EXPECT_FALSE(Exists(dst / "bad.gif"));
    EXPECT_FALSE(Exists(dst / ".hidden.gif"));
    EXPECT_FALSE(Exists(dst / "photo.gif"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dst.Path()), {}), 3);
}

TEST(ConvertFolder, StandardToHandsetInPlaceDoesNotConvertItsOwnOutput) {
    TempDir dir;
    WriteBmp(dir / "b.bmp");
    WriteBytes(dir / "a.png", kPngBytes);
    WriteBytes(dir / "a.gif", kGifBytes);
    WriteBytes(dir / "photo.jpg", kPngBytes);
    WriteText(dir / "broken.bmp", "not a bitmap");

    std::vector<std::size_t> seen;
    BatchResult r = ConvertFolder(dir.Path(), dir.Path(), BatchDirection::ToHandset, tfBmp,
                                  [&](std::size_t i, std::size_t n) {
                                      EXPECT_EQ(n, 4u);
                                      seen.push_back(i);
                                  });
    EXPECT_EQ(r.converted, 3u);
    EXPECT_EQ(r.passedOver, 1u);
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 2, 3}));

    // a.png and a.gif both become a.g; the GIF runs last and its bytes remain.
    EXPECT_EQ(ReadBytes(dir / "a.g"), kGifBytes);
    // A BMP becomes an 18-bit .k with mask: 16 + 12 x 2 pixel bytes + 4 x 2 mask bytes.
    Bytes k = ReadBytes(dir / "b.k");
    ASSERT_EQ(k.size(), 16u + 24u + 8u);
    EXPECT_EQ(k[8], 18);
    EXPECT_FALSE(Exists(dir / "broken.k"));
    EXPECT_FALSE(Exists(dir / "photo.g"));
    EXPECT_FALSE(Exists(dir / "photo.k"));
}

TEST(ConvertFolder, MissingFoldersRaiseIoError) {
    TempDir dir;
    EXPECT_THROW(ConvertFolder(dir / "missing/", dir.Path(), BatchDirection::ToStandard, tfBmp), IoError);
    // A target that cannot be created ends the run with the file's error.
    WriteBytes(dir / "a.k", SmallK18());
    const auto e = test::Caught<IoError>(
        [&] { ConvertFolder(dir.Path(), dir / "missing/", BatchDirection::ToStandard, tfBmp); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Path(), dir / "missing/a.bmp");
    EXPECT_STREQ(e->what(), "File not found");
}

TEST(ConvertFolder, DirectionFollowsThePickedFilesExtension) {
    EXPECT_EQ(DirectionForFile("x/ICON.K"), BatchDirection::ToStandard);
    EXPECT_EQ(DirectionForFile("x/a.g"), BatchDirection::ToStandard);
    EXPECT_EQ(DirectionForFile("x/photo.jpg"), BatchDirection::ToHandset);
    EXPECT_EQ(DirectionForFile("x/readme"), BatchDirection::ToHandset);
}

}  // namespace
}  // namespace tavro
