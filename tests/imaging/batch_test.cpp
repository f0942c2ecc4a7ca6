// Converting a folder: which files each direction takes and in what order, what it
// passes over, and that a folder converted in place never converts its own output.
#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/batch.h"
#include "imaging/bitmap.h"
#include "imaging/errors.h"
#include "support/testsupport.h"

namespace tavro {
namespace {

using namespace test;

// A 2 x 2 18-bit .k without mask: rows of red, blue and padding.
const Bytes kK18 = KFile(2, 2, 18, 8, {0x00, 0xF8, 0x03, 0x3F, 0, 0, 0, 0, 0x00, 0xF8, 0x03, 0x3F, 0, 0, 0, 0});
const Bytes kGif = {'G', 'I', 'F', '8', '9', 'a', 1, 2, 3};
const Bytes kPng = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 4, 5};

TEST(ConvertFolder, HandsetToStandardConvertsKThenGAndPassesOverTheRest) {
    TempDir src, dst;
    WriteBytes(src / "a.k", kK18);
    WriteBytes(src / "a.g", kGif);  // with GIF as the target, a.k and a.g both give a.gif
    WriteBytes(src / "b.G", kPng);  // masks ignore case; the content gives .png
    WriteBytes(src / "c.K", kK18);
    WriteBytes(src / "bad.k", KFile(0, 0, 18, 0));  // no pixels: refused, passed over
    WriteBytes(src / ".hidden.k", kK18);
    std::filesystem::create_directory(src / "sub.k");
    WriteBytes(src / "photo.jpg", kGif);
    BatchResult r = ConvertFolder(src.Path(), dst.Path(), BatchDirection::ToStandard, tfGif);
    EXPECT_EQ(r.converted, 4u);
    EXPECT_EQ(r.passedOver, 1u);
    EXPECT_EQ(FolderNames(dst.Path()), (std::vector<std::string>{"a.gif", "b.png", "c.gif"}));
    EXPECT_EQ(ReadBytes(dst / "a.gif"), kGif);  // the .g ran after the .k
}

TEST(ConvertFolder, StandardToHandsetInPlaceDoesNotConvertItsOwnOutput) {
    TempDir dir;
    Bitmap b(3, 2);
    b.SetPixel(2, 1, 0x800000FF);
    SaveBitmap(b, dir / "b.bmp", "image/bmp");
    WriteBytes(dir / "a.png", kPng);
    WriteBytes(dir / "a.gif", kGif);
    WriteBytes(dir / "photo.jpg", kPng);
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
    // a.png and a.gif both become a.g; the GIF runs last. A BMP becomes an 18-bit .k
    // with mask: 16 + 12 x 2 pixel bytes + 4 x 2 mask bytes.
    EXPECT_EQ(ReadBytes(dir / "a.g"), kGif);
    EXPECT_EQ(ReadBytes(dir / "b.k").size(), 16u + 24u + 8u);
    EXPECT_EQ(FolderNames(dir.Path()),
              (std::vector<std::string>{"a.g", "a.gif", "a.png", "b.bmp", "b.k", "broken.bmp", "photo.jpg"}));
}

TEST(ConvertFolder, MissingFoldersRaiseIoErrorAndDirectionFollowsTheExtension) {
    TempDir dir;
    EXPECT_THROW(ConvertFolder(dir / "missing/", dir.Path(), BatchDirection::ToStandard, tfBmp), IoError);
    // A target that cannot be created ends the run with the file's error.
    WriteBytes(dir / "a.k", kK18);
    const auto e = Caught<IoError>(
        [&] { ConvertFolder(dir.Path(), dir / "missing/", BatchDirection::ToStandard, tfBmp); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Path(), dir / "missing/a.bmp");
    EXPECT_STREQ(e->what(), "File not found");
    for (const char* name : {"x/ICON.K", "x/a.g"}) EXPECT_EQ(DirectionForFile(name), BatchDirection::ToStandard);
    for (const char* name : {"x/photo.jpg", "x/readme"}) EXPECT_EQ(DirectionForFile(name), BatchDirection::ToHandset);
}

}  // namespace
}  // namespace tavro
