// The archive's small rules: the name hash, the progress bar, and the name index's
// exact byte-wise lookup, where the first record inserted with a name is the one found,
// whatever the order and number of duplicates.
#include "archive/format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/nameindex.h"
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

TConvRec Rec(const std::string& iconName, std::uint32_t slot) {
    return TConvRec{0, 0, iconName + ".raw", iconName, slot, pkK18};
}

TEST(NameIndexTest, FindsTheFirstInsertedRecordByExactName) {
    TSearchTree index;
    EXPECT_EQ(TreeFind(index, ""), TConvRec{});  // the record of no entry
    // Names that a signed or a length-first comparison would misplace, each inserted
    // twice: the first record stays the one found. Then names that must not match:
    // another case, a prefix, a longer name.
    const std::vector<std::string> names = {"\x80", "\x7f", "a\xff", "a\x01", "ab", "B.bmp", "a.bmp", ""};
    for (std::uint32_t i = 0; i < 2 * names.size(); ++i) TreeInsert(index, Rec(names[i % names.size()], i));
    for (std::uint32_t i = 0; i < names.size(); ++i) EXPECT_EQ(TreeFind(index, names[i]), Rec(names[i], i)) << i;
    for (const char* missing : {"A.bmp", "a.bm", "a.bmpx"}) EXPECT_EQ(TreeFind(index, missing), TConvRec{});
}

}  // namespace
}  // namespace tavro
