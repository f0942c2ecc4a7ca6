// Choosing a palette for a picture with more colours than a palette holds, and
// finding each colour's nearest palette entry.
//
// The colours arrive merged into a histogram (colours close together as their mean,
// with their pixel count). The palette comes from splitting that set of colours:
// the group whose colours lie furthest from their mean (the largest squared error,
// weighted by pixels) is cut in two across its widest channel at its mean, until the
// palette is full or every group is one colour. One round of moving each palette
// colour to the mean of the colours nearest to it then lowers the error further.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace tavro {

struct PaletteEntry {
    std::uint8_t r = 0, g = 0, b = 0;
};

// A colour of the histogram and the number of pixels it stands for.
struct WeightedColour {
    std::uint8_t r = 0, g = 0, b = 0;
    std::uint32_t count = 0;
};

// The most entries a palette has here.
constexpr int kMaxPaletteEntries = 256;

// At most `maxColours` (1 to kMaxPaletteEntries) palette colours for the histogram;
// as many as it has colours when they are fewer. `colours` is reordered.
std::vector<PaletteEntry> ChoosePalette(std::vector<WeightedColour>& colours, int maxColours);

// The nearest palette entry of a colour, by squared distance in red, green and blue.
// The entries are kept sorted by green, and a search walks outwards from the colour's
// green until the green difference alone is no better than the best found.
class NearestColour {
public:
    explicit NearestColour(std::span<const PaletteEntry> palette);

    // The index of the nearest entry in the palette given; 0 for an empty palette.
    // `hint`, an entry likely to be near (such as the last colour's), only makes the
    // search shorter; among entries at the same distance any may be found.
    std::uint8_t Find(int r, int g, int b, std::uint8_t hint = 0) const;

private:
    struct Entry {
        int g, r, b;
        std::uint8_t index;
    };
    std::array<Entry, kMaxPaletteEntries> entries_{};
    std::array<std::uint8_t, kMaxPaletteEntries> position_{};  // of each palette index in entries_
    int count_ = 0;
};

}  // namespace tavro
