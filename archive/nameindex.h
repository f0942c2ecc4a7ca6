// The name index of one packing: the structure records of pictures by IconName, so
// that each file of icons/ finds its record. Names compare byte for byte as unsigned
// values; of several records with one name, the first inserted is the one found.
#pragma once

#include <map>
#include <string>

#include "archive/format.h"

namespace tavro {

using TSearchTree = std::map<std::string, TConvRec>;

// Adds the record unless one with its IconName is there already.
inline void TreeInsert(TSearchTree& index, const TConvRec& rec) { index.emplace(rec.IconName, rec); }

// The first record inserted with this IconName, or the not-found record (empty
// names, Kind pkOther).
inline TConvRec TreeFind(const TSearchTree& index, const std::string& key) {
    const auto it = index.find(key);
    return it != index.end() ? it->second : TConvRec{};
}

}  // namespace tavro
