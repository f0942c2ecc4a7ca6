#include "archive/nameindex.h"

#include <stdexcept>

namespace tavro {

TSearchTree* ConvTree = nullptr;

void TreeInit(TSearchTree*&) { throw std::logic_error("not built yet"); }

void TreeInsert(TSearchTree*&, const TConvRec&) { throw std::logic_error("not built yet"); }

TConvRec TreeFind(TSearchTree*, const std::string&) { throw std::logic_error("not built yet"); }

void TreeFree(TSearchTree*&) { throw std::logic_error("not built yet"); }

}  // namespace tavro
