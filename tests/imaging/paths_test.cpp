#include <gtest/gtest.h>

#include "imaging/paths.h"

namespace tavro {
namespace {

TEST(PathRules, FolderFileAndExtensionParts) {
    EXPECT_EQ(FolderPart("out/sub/a.b.bmp"), "out/sub/");
    EXPECT_EQ(FileNamePart("out/sub/a.b.bmp"), "a.b.bmp");
    EXPECT_EQ(ExtensionOf("out/sub/a.b.bmp"), ".bmp");
    EXPECT_EQ(FolderPart("icon.k"), "");
    EXPECT_EQ(FileNamePart("dir/"), "");
    // A dot in a folder name is not an extension; ":" is an ordinary character here.
    EXPECT_EQ(ExtensionOf("set.v2/readme"), "");
    EXPECT_EQ(FileNamePart("c:icon.k"), "c:icon.k");
}

TEST(PathRules, ChangingTheExtensionReplacesOrAppends) {
    EXPECT_EQ(ChangeExtension("out/a.b.bmp", ".g"), "out/a.b.g");
    EXPECT_EQ(ChangeExtension("out/readme", ".k"), "out/readme.k");
    EXPECT_EQ(ChangeExtension("set.v2/readme", ".k"), "set.v2/readme.k");
    EXPECT_EQ(ChangeExtension("a.", ".png"), "a.png");
}

TEST(PathRules, ExtensionsCompareInUpperCaseOfAsciiOnly) {
    EXPECT_EQ(UpperExtension("ICON.K"), ".K");
    EXPECT_EQ(UpperExtension("Icon.Raw"), ".RAW");
    // Bytes above 0x7F (a Windows-1251 name) are left alone.
    EXPECT_EQ(UpperCase("\xe0z"), "\xe0Z");
    EXPECT_EQ(WithTrailingSlash("out"), "out/");
    EXPECT_EQ(WithTrailingSlash("out/"), "out/");
}

}  // namespace
}  // namespace tavro
