// A contact sheet: pictures on a grid of equal tiles, each centred at its own size
// (scaled down to the tile when larger, never up) with a caption under it, written as
// PNG files of at most kMaxSheetSide pixels a side.
//
// Tile layout (pixels), tiles kSheetGutter apart and from the edges:
//   0 .. kTileWidth        the tile, filled with the background colour
//   kTilePad               picture box, kTilePictureSide square, centred across
//   box + kTilePad         the caption line, kTileCaptionHeight high, elided to fit
// A tile without a picture shows its note (such as "empty slot") in the picture box.
//
// The sheet is drawn one row of tiles at a time and handed to the PNG encoder row by
// row, so that a sheet of thousands of tiles needs memory for one band only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/bitmap.h"

namespace tavro {

constexpr int kTilePictureSide = 64;
constexpr int kTilePad = 4;
constexpr int kTileCaptionHeight = 14;
constexpr int kTileWidth = kTilePictureSide + 4 * kTilePad;
constexpr int kTileHeight = kTilePad + kTilePictureSide + kTilePad + kTileCaptionHeight + kTilePad;
constexpr int kSheetGutter = 2;
constexpr int kMaxSheetSide = 16384;
// The most columns whose sheet stays within kMaxSheetSide.
constexpr int kMaxSheetColumns = (kMaxSheetSide - kSheetGutter) / (kTileWidth + kSheetGutter);
// The most tile rows in one file; more rows go on into further files.
constexpr int kMaxSheetRows = (kMaxSheetSide - kSheetGutter) / (kTileHeight + kSheetGutter);

struct SheetTile {
    Bitmap picture;      // a null bitmap shows `note` instead
    std::string note;    // UTF-8, e.g. "empty slot", "does not decode"
    std::string caption; // UTF-8, the name under the tile
};

struct SheetLayout {
    int columns = 0;                     // 0: about as many columns as rows
    std::uint32_t background = 0xFF000000;  // opaque ARGB of every tile
};

// The columns a sheet of n tiles gets: `requested` when given, otherwise about as
// many as rows; at least 1, at most kMaxSheetColumns.
int SheetColumns(std::size_t tiles, int requested);

// The files a sheet of n tiles with these columns is written to: `path` itself when
// it fits in one, otherwise path with "-1", "-2" ... before its extension.
std::vector<std::string> SheetFiles(const std::string& path, std::size_t tiles, int columns);

// Where the tiles come from: asked a row at a time, in order, so that only one row of
// pictures is held at once.
class TileFeed {
public:
    virtual ~TileFeed() = default;
    // Tiles first .. first + count - 1.
    virtual std::vector<SheetTile> Tiles(std::size_t first, std::size_t count) = 0;
};

// Draws the tiles and writes the PNG files that SheetFiles names, each built whole in
// memory before it is written. Returns them. Text is drawn with Qt's painter
// (EnsureTextDrawing).
std::vector<std::string> WriteContactSheet(const std::string& path, std::size_t tiles, const SheetLayout& layout,
                                           TileFeed& feed);

// Makes sure Qt can draw text: starts a QGuiApplication on the offscreen platform
// when the program has none.
void EnsureTextDrawing();

}  // namespace tavro
