// The contact sheet of a skin: every slot on one tile, in the desktop list's order
// or in slot order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/skin.h"
#include "imaging/contactsheet.h"

namespace tavro {

// The preview's background until Settings picks another: the tiles' colour by default.
inline constexpr std::uint32_t kViewerBackground = 0xFF000000;

enum class SheetOrder : std::uint8_t { Name, Slot };

struct SheetOptions {
    int columns = 0;                          // 0: about as many as rows
    std::optional<std::uint32_t> background;  // opaque ARGB; the viewer's background when none
    SheetOrder order = SheetOrder::Name;
};

// Draws the sheet of `source` (an archive or an unpacked folder) into `output` (and
// further files when one would pass kMaxSheetSide pixels; see SheetFiles) and returns
// the files written. Refuses, before writing anything, an output that is the source
// itself or lies inside the source folder's raws/ or icons/, or is one of its
// iconres files.
std::vector<std::string> MakeContactSheet(const std::string& source, const std::string& output,
                                          const SheetOptions& options);

// Raises DataError when writing `output` would change the skin at `source`.
void RefuseOutputInSource(const std::string& source, const std::string& output);

// The tile of one slot: its picture or what it shows instead, captioned with its name.
SheetTile TileOf(Skin& skin, const SkinSlot& slot);

}  // namespace tavro
