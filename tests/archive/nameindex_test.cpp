// The name index: exact byte-wise lookup, the first-inserted record wins, and a tree
// that stays shallow whatever order the names come in.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "archive/nameindex.h"

namespace tavro {
namespace {

TConvRec Rec(const std::string& iconName, std::uint32_t slot) {
    TConvRec r;
    r.IconName = iconName;
    r.RawName = iconName + ".raw";
    r.SlotIndex = slot;
    r.Kind = pkK18;
    return r;
}

int Depth(const TSearchTree* node) {
    // Recursion is fine here: the trees tested are balanced.
    return node == nullptr ? 0 : 1 + std::max(Depth(node->Left), Depth(node->Right));
}

bool IsNotFound(const TConvRec& r) { return r.Kind == pkOther && r.RawName.empty() && r.IconName.empty(); }

TEST(NameIndexTest, FirstInsertedWinsAndMatchIsExact) {
    TSearchTree* root = reinterpret_cast<TSearchTree*>(0x1);  // whatever was there before
    TreeInit(root);
    EXPECT_EQ(root, nullptr);
    EXPECT_TRUE(IsNotFound(TreeFind(root, "")));
    TreeInsert(root, Rec("b", 0));
    TreeInsert(root, Rec("a", 1));
    TreeInsert(root, Rec("c", 2));
    TreeInsert(root, Rec("a", 3));
    TreeInsert(root, Rec("icon.bmp", 4));

    EXPECT_EQ(TreeFind(root, "a"), Rec("a", 1));
    EXPECT_EQ(TreeFind(root, "b").SlotIndex, 0u);
    EXPECT_EQ(TreeFind(root, "c").SlotIndex, 2u);
    EXPECT_TRUE(IsNotFound(TreeFind(root, "A")));        // no case folding
    EXPECT_TRUE(IsNotFound(TreeFind(root, "icon")));     // a prefix is another name
    EXPECT_TRUE(IsNotFound(TreeFind(root, "icon.bmpx")));
    // Names that a signed or a length-first comparison would misplace.
    const std::vector<std::string> names = {"\x80", "\x7f", "a\xff", "a\x01", "ab", "B.bmp", "a.bmp", ""};
    for (std::uint32_t i = 0; i < names.size(); ++i) TreeInsert(root, Rec(names[i], 10 + i));
    for (std::uint32_t i = 0; i < names.size(); ++i) EXPECT_EQ(TreeFind(root, names[i]).SlotIndex, 10 + i) << i;
    EXPECT_EQ(TreeFind(root, "a").SlotIndex, 1u);
    TreeFree(root);
    EXPECT_EQ(root, nullptr);
}

TEST(NameIndexTest, MatchesAFirstWinsMapOnRandomInput) {
    std::mt19937 rng(7);
    std::map<std::string, std::uint32_t> first;
    TSearchTree* root = nullptr;
    for (std::uint32_t i = 0; i < 20000; ++i) {
        // Few distinct names, so most inserts are duplicates.
        std::string name = "n" + std::to_string(rng() % 3000);
        TreeInsert(root, Rec(name, i));
        first.emplace(name, i);
    }
    for (const auto& [name, slot] : first) ASSERT_EQ(TreeFind(root, name).SlotIndex, slot) << name;
    EXPECT_TRUE(IsNotFound(TreeFind(root, "n3000")));
    EXPECT_LE(Depth(root), 17);  // 3000 distinct names: an AVL tree is at most 1.44 log2 n deep
    TreeFree(root);
}

TEST(NameIndexTest, SortedInputStaysShallow) {
    // 65,536 names in ascending order, then the same names again as duplicates: an
    // unbalanced tree would be a chain 65,536 deep.
    TSearchTree* root = nullptr;
    auto name = [](std::uint32_t i) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "icon%06u.bmp", i);
        return std::string(buf);
    };
    for (std::uint32_t i = 0; i < 65536; ++i) TreeInsert(root, Rec(name(i), i));
    for (std::uint32_t i = 0; i < 65536; ++i) TreeInsert(root, Rec(name(i), 100000 + i));
    EXPECT_LE(Depth(root), 24);
    for (std::uint32_t i = 0; i < 65536; i += 97) ASSERT_EQ(TreeFind(root, name(i)).SlotIndex, i);
    EXPECT_EQ(TreeFind(root, name(65535)).SlotIndex, 65535u);
    TreeFree(root);
    EXPECT_EQ(root, nullptr);
}

}  // namespace
}  // namespace tavro
