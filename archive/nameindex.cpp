#include "archive/nameindex.h"

namespace tavro {

TSearchTree* ConvTree = nullptr;

namespace {

// An AVL tree of n nodes is lower than 1.45 log2(n + 2); 128 levels cover any tree
// that fits in memory.
constexpr int kMaxDepth = 128;

int HeightOf(const TSearchTree* node) { return node != nullptr ? node->Height : 0; }

void UpdateHeight(TSearchTree* node) {
    int l = HeightOf(node->Left);
    int r = HeightOf(node->Right);
    node->Height = 1 + (l > r ? l : r);
}

void RotateRight(TSearchTree*& link) {
    TSearchTree* node = link;
    TSearchTree* pivot = node->Left;
    node->Left = pivot->Right;
    pivot->Right = node;
    UpdateHeight(node);
    UpdateHeight(pivot);
    link = pivot;
}

void RotateLeft(TSearchTree*& link) {
    TSearchTree* node = link;
    TSearchTree* pivot = node->Right;
    node->Right = pivot->Left;
    pivot->Left = node;
    UpdateHeight(node);
    UpdateHeight(pivot);
    link = pivot;
}

void Rebalance(TSearchTree*& link) {
    TSearchTree* node = link;
    int balance = HeightOf(node->Left) - HeightOf(node->Right);
    if (balance > 1) {
        if (HeightOf(node->Left->Left) < HeightOf(node->Left->Right)) RotateLeft(node->Left);
        RotateRight(link);
    } else if (balance < -1) {
        if (HeightOf(node->Right->Right) < HeightOf(node->Right->Left)) RotateRight(node->Right);
        RotateLeft(link);
    } else {
        UpdateHeight(node);
    }
}

}  // namespace

void TreeInit(TSearchTree*& root) { root = nullptr; }

void TreeInsert(TSearchTree*& root, const TConvRec& rec) {
    TSearchTree** path[kMaxDepth];
    int depth = 0;
    TSearchTree** link = &root;
    while (*link != nullptr) {
        TSearchTree* node = *link;
        // std::string compares its bytes as unsigned char, shorter first on a tie.
        int c = rec.IconName.compare(node->Rec.IconName);
        if (c == 0) {
            // The first record with this name stays the one found; later ones are kept
            // beside it only to be released with it.
            node->Same = new TSearchTree{rec, nullptr, nullptr, node->Same};
            return;
        }
        path[depth++] = link;
        link = c < 0 ? &node->Left : &node->Right;
    }
    *link = new TSearchTree{rec};
    while (depth > 0) {
        TSearchTree*& up = *path[--depth];
        int before = up->Height;
        Rebalance(up);
        if (up->Height == before) break;  // nothing above changes height either
    }
}

TConvRec TreeFind(TSearchTree* root, const std::string& key) {
    const TSearchTree* node = root;
    while (node != nullptr) {
        int c = key.compare(node->Rec.IconName);
        if (c == 0) return node->Rec;
        node = c < 0 ? node->Left : node->Right;
    }
    TConvRec notFound;
    notFound.Kind = pkOther;
    return notFound;
}

void TreeFree(TSearchTree*& root) {
    // Rotating every left child up turns the tree into a right-leaning list that is
    // released node by node: linear time, no recursion, no extra memory.
    TSearchTree* node = root;
    while (node != nullptr) {
        if (node->Left != nullptr) {
            TSearchTree* left = node->Left;
            node->Left = left->Right;
            left->Right = node;
            node = left;
            continue;
        }
        TSearchTree* next = node->Right;
        for (TSearchTree* same = node->Same; same != nullptr;) {
            TSearchTree* after = same->Same;
            delete same;
            same = after;
        }
        delete node;
        node = next;
    }
    root = nullptr;
}

}  // namespace tavro
