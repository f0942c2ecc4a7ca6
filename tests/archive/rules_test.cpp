// The archive's small rules: the name hash and the progress bar. (The name index's
// first-record-wins lookup shows in packing's tests.)
#include "archive/format.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "archive/sinks.h"

namespace tavro {
namespace {

TEST(FormatRules, NameHashAndProgress) {
    // Bytes count as unsigned; the bit that leaves at the top of the shift is lost,
    // and bits 20 and up fold back in.
    const std::pair<const char*, std::uint32_t> hashes[] = {
        {"", 0}, {"abc", 0x123}, {"\xff", 0xFF}, {"[]", 0xEB}, {"icon_with_a_rather_long_name.bmp", 0xEAA550B7}};
    for (const auto& [name, hash] : hashes) EXPECT_EQ(HashName(name), hash) << name;

    // 100 x i / (n - 1) with halves to even: 0.5 goes down, 1.5 up, 2.5 down; one item is done at once.
    const std::tuple<int, int, int> percents[] = {{1, 9, 12}, {3, 9, 38}, {1, 201, 0}, {3, 201, 2}, {5, 201, 2},
                                                  {1, 4, 33}, {2, 4, 67}, {65535, 65536, 100}, {0, 1, 100}};
    for (const auto& [i, n, percent] : percents) EXPECT_EQ(ProgressPercent(i, n), percent) << i << "/" << n;
}

}  // namespace
}  // namespace tavro
