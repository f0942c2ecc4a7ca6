#include "archive/diff.h"

#include <algorithm>

#include "archive/iconnames.h"
#include "archive/sheet.h"
#include "imaging/errors.h"

namespace tavro {

namespace {

PictureFacts FactsOf(const SkinPicture& p) {
    PictureFacts facts{p.shows, p.kind, p.bitmap.Width(), p.bitmap.Height()};
    return facts;
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y) {
        if (!std::equal(a.Row(y), a.Row(y) + a.Width(), b.Row(y))) return false;
    }
    return true;
}

std::string SizeText(const PictureFacts& f) {
    return f.shows == SkinShows::Picture ? std::to_string(f.width) + "x" + std::to_string(f.height)
                                         : std::string(ShowsText(f.shows));
}

// The slot of `skin` at i, or an empty one past its last slot.
const SkinSlot& SlotAt(const Skin& skin, std::uint32_t i, const SkinSlot& none) {
    return i < skin.Slots().size() ? skin.Slots()[i] : none;
}

}  // namespace

SkinDifference CompareSkins(Skin& a, Skin& b) {
    SkinDifference diff;
    const std::size_t n = std::max(a.Slots().size(), b.Slots().size());
    for (std::uint32_t i = 0; i < n; ++i) {
        SkinSlot none;
        none.index = i;
        const SkinSlot& sa = SlotAt(a, i, none);
        const SkinSlot& sb = SlotAt(b, i, none);
        if (sa.empty && sb.empty) {
            ++diff.identical;
            continue;
        }
        SlotDifference d;
        d.slot = i;
        d.nameA = sa.name;
        d.nameB = sb.name;
        if (sa.empty || sb.empty) {
            d.change = sa.empty ? SlotChange::Added : SlotChange::Removed;
            d.a = sa.empty ? PictureFacts{} : FactsOf(a.Picture(sa));
            d.b = sb.empty ? PictureFacts{} : FactsOf(b.Picture(sb));
            diff.changes.push_back(std::move(d));
            continue;
        }
        d.renamed = sa.name != sb.name;
        // Bytes first: the same bytes under the same name are the same entry. Two
        // folders' or two archives' bytes mean the same thing; an archive's entry and a
        // folder's icon do not, and are compared as pictures.
        // Each skin reads into a buffer of its own, so the two spans stand side by side.
        const auto sameBytes = [&] {
            const std::span<const std::uint8_t> first = a.ContentBytes(sa);
            const std::span<const std::uint8_t> second = b.ContentBytes(sb);
            return std::equal(first.begin(), first.end(), second.begin(), second.end());
        };
        if (!d.renamed && a.IsFolder() == b.IsFolder() && sameBytes()) {
            ++diff.identical;
            continue;
        }
        const SkinPicture pa = a.Picture(sa);
        const SkinPicture pb = b.Picture(sb);
        d.a = FactsOf(pa);
        d.b = FactsOf(pb);
        d.kindChanged = pa.kind != pb.kind || pa.shows != pb.shows;
        d.sizeChanged = pa.shows == SkinShows::Picture && pb.shows == SkinShows::Picture &&
                        (d.a.width != d.b.width || d.a.height != d.b.height);
        const bool bothPictures = pa.shows == SkinShows::Picture && pb.shows == SkinShows::Picture;
        d.pixelsChanged = bothPictures ? !SamePixels(pa.bitmap, pb.bitmap) : true;
        if (a.IsFolder() != b.IsFolder() && !d.renamed && !d.kindChanged && bothPictures && !d.pixelsChanged) {
            ++diff.identical;  // the folder's icon shows exactly the archive's picture
            continue;
        }
        if (!bothPictures && !d.kindChanged && !d.renamed && a.IsFolder() != b.IsFolder()) {
            // Neither decodes: only their bytes can tell.
            if (sameBytes()) {
                ++diff.identical;
                continue;
            }
        }
        diff.changes.push_back(std::move(d));
    }
    return diff;
}

std::string DescribeDifference(const SlotDifference& d) {
    std::string line = "slot " + std::to_string(d.slot) + "  ";
    switch (d.change) {
        case SlotChange::Added:
            return line + DisplayName(d.nameB) + "  added (" + SizeText(d.b) + ")";
        case SlotChange::Removed:
            return line + DisplayName(d.nameA) + "  removed";
        case SlotChange::Changed:
            break;
    }
    line += DisplayName(d.nameA);
    std::vector<std::string> what;
    if (d.renamed) {
        line += " -> " + DisplayName(d.nameB);
        what.push_back("renamed");
    }
    if (d.a.kind != d.b.kind) what.push_back("kind " + KindName(d.a.kind) + " to " + KindName(d.b.kind));
    // A picture that stops or starts decoding, or a size that changes.
    if (d.sizeChanged) {
        what.push_back("size " + SizeText(d.a) + " to " + SizeText(d.b));
    } else if (d.a.shows != d.b.shows) {
        what.push_back("picture " + SizeText(d.a) + " to " + SizeText(d.b));
    }
    if (what.empty() || (what.size() == 1 && d.renamed)) {
        const bool pictures = d.a.shows == SkinShows::Picture && d.b.shows == SkinShows::Picture;
        what.push_back(!pictures ? "bytes changed" : d.pixelsChanged ? "bytes changed, pixels changed"
                                                                     : "bytes changed, same pixels");
    }
    line += " ";
    for (const std::string& w : what) line += " " + w + ",";
    line.pop_back();
    return line;
}

std::string DifferenceSummary(const SkinDifference& diff) {
    std::size_t added = 0, removed = 0, changed = 0;
    for (const SlotDifference& d : diff.changes) {
        if (d.change == SlotChange::Added) ++added;
        if (d.change == SlotChange::Removed) ++removed;
        if (d.change == SlotChange::Changed) ++changed;
    }
    return std::to_string(diff.identical) + " identical, " + std::to_string(added) + " added, " +
           std::to_string(removed) + " removed, " + std::to_string(changed) + " changed";
}

namespace {

class DifferenceTiles : public TileFeed {
public:
    DifferenceTiles(Skin& a, Skin& b, const SkinDifference& diff) : a_(a), b_(b), diff_(diff) {}
    std::vector<SheetTile> Tiles(std::size_t first, std::size_t count) override {
        std::vector<SheetTile> tiles;
        for (std::size_t i = first; i < first + count; ++i) {
            const SlotDifference& d = diff_.changes[i / 2];
            Skin& skin = i % 2 == 0 ? a_ : b_;
            SkinSlot none;
            none.index = d.slot;
            const SkinSlot& slot = d.slot < skin.Slots().size() ? skin.Slots()[d.slot] : none;
            SheetTile tile = TileOf(skin, slot);
            tile.caption = (i % 2 == 0 ? "A " : "B ") + tile.caption;
            tiles.push_back(std::move(tile));
        }
        return tiles;
    }

private:
    Skin& a_;
    Skin& b_;
    const SkinDifference& diff_;
};

}  // namespace

std::vector<std::string> DrawDifference(Skin& a, Skin& b, const SkinDifference& diff, const std::string& output,
                                        std::uint32_t background) {
    for (const std::string& file : SheetFiles(output, diff.changes.size() * 2, 2)) {
        RefuseOutputInSource(a.Path(), file);
        RefuseOutputInSource(b.Path(), file);
    }
    SheetLayout layout;
    layout.columns = 2;
    layout.background = background | 0xFF000000u;
    DifferenceTiles tiles(a, b, diff);
    return WriteContactSheet(output, diff.changes.size() * 2, layout, tiles);
}

}  // namespace tavro
