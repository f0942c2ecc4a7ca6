#include "archive/sheet.h"

#include <filesystem>

#include "archive/iconnames.h"
#include "imaging/errors.h"
#include "imaging/paths.h"

namespace tavro {

namespace {

// The path as the file system resolves it, links and ".." included, for a file that
// may not exist yet.
std::filesystem::path Resolved(const std::string& path) {
    std::error_code ec;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return ec ? std::filesystem::path(path) : resolved;
}

bool IsInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (f->empty()) continue;  // a trailing "/"
        if (p == path.end() || *p != *f) return false;
    }
    return true;
}

class SkinTiles : public TileFeed {
public:
    SkinTiles(Skin& skin, std::vector<std::uint32_t> order) : skin_(skin), order_(std::move(order)) {}
    std::vector<SheetTile> Tiles(std::size_t first, std::size_t count) override {
        std::vector<SheetTile> tiles;
        for (std::size_t i = first; i < first + count; ++i) tiles.push_back(TileOf(skin_, skin_.Slots()[order_[i]]));
        return tiles;
    }

private:
    Skin& skin_;
    std::vector<std::uint32_t> order_;
};

}  // namespace

SheetTile TileOf(Skin& skin, const SkinSlot& slot) {
    SheetTile tile;
    tile.caption = slot.empty ? "slot " + std::to_string(slot.index) : DisplayName(slot.name);
    if (slot.iconDeleted) {
        tile.caption = DisplayName(slot.name);
        tile.note = "icon deleted";
        return tile;
    }
    SkinPicture picture = skin.Picture(slot);
    if (picture.shows == SkinShows::Picture) {
        tile.picture = std::move(picture.bitmap);
    } else {
        tile.note = ShowsText(picture.shows);
    }
    return tile;
}

void RefuseOutputInSource(const std::string& source, const std::string& output) {
    const std::filesystem::path out = Resolved(output);
    const std::filesystem::path src = Resolved(source);
    bool clash = out == src;
    if (IsDirectory(source)) {
        for (const char* part : {"raws", "icons", "iconres.dat", "iconres.hdr"}) clash = clash || IsInside(out, src / part);
    }
    if (clash) throw DataError(ErrorCause::Refused, output, "would write over the skin it shows (" + source + ")");
}

std::vector<std::string> MakeContactSheet(const std::string& source, const std::string& output,
                                          const SheetOptions& options) {
    Skin skin(source);
    std::vector<std::uint32_t> order;
    if (options.order == SheetOrder::Name) {
        order = skin.ListOrder();
    } else {
        for (const SkinSlot& slot : skin.Slots()) order.push_back(slot.index);
    }
    const int columns = SheetColumns(order.size(), options.columns);
    for (const std::string& file : SheetFiles(output, order.size(), columns)) RefuseOutputInSource(source, file);

    SheetLayout layout;
    layout.columns = columns;
    layout.background = options.background.value_or(kViewerBackground) | 0xFF000000u;
    const std::size_t count = order.size();
    SkinTiles tiles(skin, std::move(order));
    return WriteContactSheet(output, count, layout, tiles);
}

}  // namespace tavro
