// Icon names as the front ends show and order them.
//
// Names are bytes: an archive may hold names in UTF-8 or in the handset's 8-bit
// Cyrillic code page (Windows-1251). Files are always made from the bytes; only the
// text shown to a person is decoded.
#pragma once

#include <string>
#include <vector>

namespace tavro {

// The name as UTF-8 text: the bytes themselves when they are valid UTF-8, otherwise
// each byte read as Windows-1251.
std::string DisplayName(const std::string& name);

// The names in the icon list's order: the shown text collated as a Russian reader
// expects (Cyrillic letters in their alphabet's order with ё beside е, then Latin
// ones), without regard to case; names that collate alike are ordered by their bytes.
std::vector<std::string> SortedForList(std::vector<std::string> names);

}  // namespace tavro
