// The archive's small rules: name hash, offset digits, progress.
#include <gtest/gtest.h>

#include "archive/format.h"
#include "archive/sinks.h"

namespace tavro {
namespace {

TEST(HashNameTest, FollowsTheShiftAndXorRule) {
    EXPECT_EQ(HashName("abc"), 0x123u);
    EXPECT_EQ(HashName(""), 0u);
    // Bytes count as unsigned; the bit that leaves at the top of the shift is lost,
    // and bits 20 and up fold back in.
    EXPECT_EQ(HashName("\xff"), 0xFFu);
    EXPECT_EQ(HashName("icon_with_a_rather_long_name.bmp"), 0xEAA550B7u);
}

TEST(OffsetFieldTest, ReadsEitherCaseAndWritesLowerCase) {
    const std::uint8_t lower[] = "000006a8";
    const std::uint8_t upper[] = "000006A8";
    EXPECT_EQ(ParseOffsetField(lower), 0x6A8u);
    EXPECT_EQ(ParseOffsetField(upper), 0x6A8u);
    const std::uint8_t high[] = "FfFfFfFf";
    EXPECT_EQ(ParseOffsetField(high), 0xFFFFFFFFu);

    EXPECT_EQ(FormatOffsetField(0xABCDEF01), "abcdef01");
    EXPECT_EQ(FormatOffsetField(0x6A8), "000006a8");
    // Not a digit: code minus 55 after upper-casing, unchecked.
    EXPECT_EQ(HexDigitValue('g'), 16u);
}

TEST(ProgressPercentTest, RoundsHalvesToEven) {
    std::vector<int> nine;
    for (int i = 0; i < 9; ++i) nine.push_back(ProgressPercent(i, 9));
    EXPECT_EQ(nine, (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88, 100}));
    // 100 / 200 = 0.5 goes down to 0, 300 / 200 = 1.5 up to 2, 2.5 down to 2.
    EXPECT_EQ(ProgressPercent(1, 201), 0);
    EXPECT_EQ(ProgressPercent(3, 201), 2);
    EXPECT_EQ(ProgressPercent(5, 201), 2);
    EXPECT_EQ(ProgressPercent(1, 4), 33);
    EXPECT_EQ(ProgressPercent(2, 4), 67);
    EXPECT_EQ(ProgressPercent(65535, 65536), 100);
    // A single item is finished at once.
    EXPECT_EQ(ProgressPercent(0, 1), 100);
}

}  // namespace
}  // namespace tavro
