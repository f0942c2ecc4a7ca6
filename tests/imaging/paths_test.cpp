// The path rules, and the size a .raw picture's file name gives and the .raw writer puts into it.
#include "imaging/paths.h"

#include <gtest/gtest.h>

#include <optional>

#include "imaging/batch.h"
#include "imaging/errors.h"
#include "imaging/rawpicture.h"

namespace tavro {
namespace {

TEST(PathRules, PartsExtensionsAndCase) {
    const std::pair<std::string, std::string> cases[] = {
        {FolderPart("out/sub/a.b.bmp"), "out/sub/"}, {FileNamePart("out/sub/a.b.bmp"), "a.b.bmp"},
        {ExtensionOf("out/sub/a.b.bmp"), ".bmp"},    {FolderPart("icon.k"), ""},
        {FileNamePart("dir/"), ""},
        // A dot in a folder name is not an extension; ":" is an ordinary character here.
        {ExtensionOf("set.v2/readme"), ""},          {FileNamePart("c:icon.k"), "c:icon.k"},
        {ChangeExtension("out/a.b.bmp", ".g"), "out/a.b.g"}, {ChangeExtension("out/readme", ".k"), "out/readme.k"},
        {ChangeExtension("set.v2/readme", ".k"), "set.v2/readme.k"}, {ChangeExtension("a.", ".png"), "a.png"},
        // Upper case for ASCII only: a byte above 0x7F (a Windows-1251 name) stays.
        {UpperExtension("Icon.Raw"), ".RAW"},        {UpperCase("\xe0z"), "\xe0Z"},
        {WithTrailingSlash("out"), "out/"},          {WithTrailingSlash("out/"), "out/"},
        // The .raw writer's names: the size goes into the last "(...)" of the stem, or is added.
        {RawNameForSize("icon(16x16).bmp", 20, 7), "icon(20x7).raw"},
        {RawNameForSize("ICON(16X16).BMP", 20, 7), "ICON(20X7).raw"},
        {RawNameForSize("icon.bmp", 20, 7), "icon(20x7).raw"}, {RawNameForSize("a(b)c.png", 20, 7), "a(20x7)c.raw"},
        {RawNameForSize("a(b.bmp", 20, 7), "a(20x7).raw"},
        {RawNameForSize("a)b(c).d.bmp", 20, 7), "a)b(20x7).d.raw"},
        {RawNameForSize("set (2)/w.bmp", 20, 7), "set (2)/w(20x7).raw"},
    };
    for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
    // Convert all takes its direction from the file picked: a .k or .g, in any case, is
    // a handset picture; anything else a standard one.
    for (const char* name : {"x/ICON.K", "x/a.g"})
        EXPECT_EQ(DirectionForFile(name), BatchDirection::ToStandard);
    for (const char* name : {"x/photo.jpg", "x/readme"})
        EXPECT_EQ(DirectionForFile(name), BatchDirection::ToHandset);
}

std::optional<std::pair<int, int>> RawSize(const std::string& name) {
    std::int32_t w = -1, h = -1;
    if (!ParseRawSize(name, w, h)) return std::nullopt;
    return std::pair<int, int>{w, h};
}

TEST(PathRules, RawSizeFromTheFileNamePart) {
    using Size = std::optional<std::pair<int, int>>;
    const std::pair<std::string, Size> cases[] = {
        {"icon(176x220).raw", std::pair{176, 220}}, {"icon(176X220).RAW", std::pair{176, 220}},
        {"set (2)/icon(16x16).raw", std::pair{16, 16}}, {"icon(16x9).raw", std::pair{16, 9}},
        {"icon(16x09).raw", std::pair{16, 9}}, {"(1x2)", std::pair{1, 2}},
        // Parsed, but a size callers must not use: a height that is no 32-bit number is 0.
        {"icon(0x16).raw", std::pair{0, 16}}, {"icon(16x1a).raw", std::pair{16, 0}},
        {"icon(16x2147483648).raw", std::pair{16, 0}}, {"icon(16x-5).raw", std::pair{16, -5}},
        {"icon(2147483647x1).raw", std::pair{2147483647, 1}},
        {"icon.raw", std::nullopt}, {"icon(16x16", std::nullopt}, {"icon16x16).raw", std::nullopt},
        {"icon(1x).raw", std::nullopt}, {"icon(16x).raw", std::nullopt}, {"icon(x16).raw", std::nullopt},
        {"icon(16*16).raw", std::nullopt}, {"icon()16x16.raw", std::nullopt}, {"(16x16)/icon.raw", std::nullopt},
        {"icon(16x16.r)aw", std::nullopt},
    };
    for (const auto& [name, size] : cases) EXPECT_EQ(RawSize(name), size) << name;
    EXPECT_THROW(RawSize("icon(2147483648x1).raw"), DataError);
    EXPECT_THROW(RawSize("icon(99999999999999999999x1).raw"), DataError);
}

}  // namespace
}  // namespace tavro
