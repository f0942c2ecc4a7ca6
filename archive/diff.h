// The comparison of two skins (archives or unpacked folders), slot by slot.
//
// The slots' bytes are compared first; only slots whose bytes differ are decoded, to
// tell a changed kind or size from changed pixels. A folder's slot stands for its icon
// in icons/ (else its copy in raws/), so an unpacked folder whose icons are unchanged
// compares equal to its archive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/skin.h"

namespace tavro {

enum class SlotChange : std::uint8_t {
    Added,    // empty in A, an entry in B
    Removed,  // an entry in A, empty in B
    Changed,  // an entry on both sides, not the same
};

struct PictureFacts {
    SkinShows shows = SkinShows::Empty;
    TPictureKind kind = pkOther;
    int width = 0;
    int height = 0;
};

struct SlotDifference {
    std::uint32_t slot = 0;
    SlotChange change = SlotChange::Changed;
    std::string nameA, nameB;
    PictureFacts a, b;
    bool renamed = false;
    bool kindChanged = false;
    bool sizeChanged = false;
    // The entries' bytes differ, and so do their pixels where both are pictures of
    // the same size (false: only the bytes differ, the pictures are the same).
    bool pixelsChanged = false;
};

struct SkinDifference {
    std::vector<SlotDifference> changes;  // in slot order
    std::size_t identical = 0;          // slots the same on both sides, empty ones included
    bool Same() const { return changes.empty(); }
};

SkinDifference CompareSkins(Skin& a, Skin& b);

// One line for a difference: "slot 12  clock.k  size 32x32 to 30x32" and the like;
// names as bytes, for the caller to show.
std::string DescribeDifference(const SlotDifference& d);
// "38 identical, 1 added, 1 removed, 2 changed".
std::string DifferenceSummary(const SkinDifference& diff);

// Draws the changed slots of a comparison, before (A) and after (B) side by side with
// their names, into `output` (see WriteContactSheet); returns the files written.
std::vector<std::string> DrawDifference(Skin& a, Skin& b, const SkinDifference& diff, const std::string& output,
                                        std::uint32_t background);

}  // namespace tavro
