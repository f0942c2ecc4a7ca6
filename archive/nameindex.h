// The name index: structure records by IconName, the first inserted found first.
//
// A binary search tree ordered by IconName (bytes compared as unsigned values, a
// shorter name before every longer one that begins with it). It is kept balanced
// (AVL) and holds each name once: a later record with a name already present is
// kept in that node's Same chain, where lookups never look, so the node reached
// for a name always carries the first record inserted with it. Insertion, lookup and
// release walk the tree iteratively; sorted input or many equal names cost
// O(log n) per operation.
#pragma once

#include <string>

#include "archive/format.h"

namespace tavro {

struct TSearchTree {
    TConvRec Rec;
    TSearchTree* Left = nullptr;   // IconName less
    TSearchTree* Right = nullptr;  // IconName greater
    TSearchTree* Same = nullptr;   // later records with this IconName, never found
    int Height = 1;                // of the subtree rooted here, for balancing
};

// The program-wide index that packing builds and releases.
extern TSearchTree* ConvTree;

// Sets the link to none; releases nothing.
void TreeInit(TSearchTree*& root);
// Adds a node holding a copy of the record; duplicates are accepted.
void TreeInsert(TSearchTree*& root, const TConvRec& rec);
// The first-inserted record with this IconName, or the not-found record
// (empty names, Kind pkOther).
TConvRec TreeFind(TSearchTree* root, const std::string& key);
// Releases every node and sets the link to none, so that no dangling root remains.
void TreeFree(TSearchTree*& root);

// Owns ConvTree-style roots for one operation: TreeInit on construction, TreeFree on
// destruction, whichever way the operation ends.
class TreeScope {
public:
    explicit TreeScope(TSearchTree*& root) : root_(root) { TreeInit(root_); }
    ~TreeScope() { TreeFree(root_); }
    TreeScope(const TreeScope&) = delete;
    TreeScope& operator=(const TreeScope&) = delete;

private:
    TSearchTree*& root_;
};

}  // namespace tavro
