// The name index: structure records by IconName, the first inserted found first.
#pragma once

#include <string>

#include "archive/format.h"

namespace tavro {

struct TSearchTree {
    TConvRec Rec;
    TSearchTree* Left = nullptr;   // IconName less than or equal
    TSearchTree* Right = nullptr;  // IconName greater
};

extern TSearchTree* ConvTree;

void TreeInit(TSearchTree*& root);
void TreeInsert(TSearchTree*& root, const TConvRec& rec);
// The first-inserted record with this IconName, or the not-found record
// (empty names, Kind pkOther).
TConvRec TreeFind(TSearchTree* root, const std::string& key);
void TreeFree(TSearchTree*& root);

}  // namespace tavro
