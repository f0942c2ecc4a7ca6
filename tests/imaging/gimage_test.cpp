#include <gtest/gtest.h>

#include "imaging/errors.h"
#include "imaging/gimage.h"
#include "support/testsupport.h"

namespace tavro {
namespace {

using test::Bytes;
using test::TempDir;

TEST(GImage, ReadingNamesTheCopyByItsFirstFourBytes) {
    TempDir dir;
    const struct {
        Bytes content;
        const char* ext;
    } cases[] = {
        {{'G', 'I', 'F', '8', '9', 'a', 1, 0}, ".gif"},
        {{'G', 'I', 'F', '8', '7', 'a'}, ".gif"},
        {{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, ".png"},
        {{0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10}, ".unk"},  // JPEG
        {{'g', 'i', 'f', '8'}, ".unk"},  // compared case-sensitively
        {{}, ".unk"},
        {{'G', 'I', 'F'}, ".unk"},  // shorter than the signature
    };
    for (const auto& c : cases) {
        test::WriteBytes(dir / "icon.g", c.content);
        std::string dest = dir / "out.bmp";
        ReadGImage(dir / "icon.g", dest);
        EXPECT_EQ(dest, dir / (std::string("out") + c.ext));
        EXPECT_EQ(test::ReadBytes(dest), c.content) << c.ext;
    }
}

TEST(GImage, WritingCopiesUnderGAndReplacesAnOlderFile) {
    TempDir dir;
    const Bytes bmp = {'B', 'M', 1, 2, 3};
    test::WriteBytes(dir / "in.bmp", bmp);
    test::WriteBytes(dir / "a.b.g", Bytes(100, 7));  // longer: must not leave a tail
    std::string dest = dir / "a.b.bmp";
    WriteGImage(dir / "in.bmp", dest);
    EXPECT_EQ(dest, dir / "a.b.g");
    EXPECT_EQ(test::ReadBytes(dest), bmp);
}

TEST(GImage, FailedCopiesRaiseIoError) {
    TempDir dir;
    std::string dest = dir / "out.png";
    EXPECT_THROW(ReadGImage(dir / "missing.g", dest), IoError);
    EXPECT_EQ(dest, dir / "out.png");
    EXPECT_FALSE(test::Exists(dir / "out.unk"));

    // A destination that cannot be created is reported, not passed over.
    test::WriteBytes(dir / "icon.g", {'G', 'I', 'F', '8'});
    std::string noFolder = dir / "no/such/out.bmp";
    EXPECT_THROW(ReadGImage(dir / "icon.g", noFolder), IoError);
    EXPECT_THROW(WriteGImage(dir / "icon.g", noFolder), IoError);
}

}  // namespace
}  // namespace tavro
