#include "imaging/gifwriter.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <memory>

#include "imaging/bitmap.h"
#include "imaging/errors.h"
#include "imaging/quantizer.h"

namespace tavro {

namespace {

constexpr std::uint32_t kRgbMask = 0x00FFFFFFu;
constexpr int kColourBits = 8;

bool IsTransparent(std::uint32_t argb) { return AlphaOf(argb) < kGifOpaqueAlpha; }

// Colour tables store a colour as its RGB with this bit set, which tells a stored
// black from an empty slot, in the slot picked by the top bits of a multiplicative hash.
constexpr std::uint32_t kStoredColour = 0x01000000u;
constexpr std::size_t ColourSlot(std::uint32_t rgb, int slotBits) {
    return (rgb * 2654435761u) >> (32 - slotBits);
}

// The colours of a picture, up to a palette's worth, with the index of each.
// Open addressing over twice the palette size keeps probes short.
class ColourTable {
public:
    // Returns the colour's index, adding it when new; -1 when the palette is full.
    int IndexOf(std::uint32_t rgb, int limit) {
        const std::uint32_t key = rgb | kStoredColour;
        std::size_t slot = ColourSlot(rgb, kSlotBits);
        while (keys_[slot] != 0) {
            if (keys_[slot] == key) return values_[slot];
            slot = (slot + 1) & (kSlots - 1);
        }
        if (count_ >= limit) return -1;
        keys_[slot] = key;
        values_[slot] = static_cast<std::uint8_t>(count_);
        palette_[static_cast<std::size_t>(count_)] = {static_cast<std::uint8_t>(rgb >> 16),
                                                      static_cast<std::uint8_t>(rgb >> 8),
                                                      static_cast<std::uint8_t>(rgb)};
        return count_++;
    }

    int Count() const { return count_; }
    const std::array<PaletteEntry, kGifPaletteSize>& Palette() const { return palette_; }

private:
    static constexpr int kSlotBits = 9;  // twice the palette size
    static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;

    std::array<std::uint32_t, kSlots> keys_{};
    std::array<std::uint8_t, kSlots> values_{};
    std::array<PaletteEntry, kGifPaletteSize> palette_{};
    int count_ = 0;
};

// One picture as palette indices, ready for the GIF encoder.
struct IndexedPicture {
    std::vector<std::uint8_t> indices;  // width x height, row by row
    std::array<PaletteEntry, kGifPaletteSize> palette{};
    int colours = 0;
    int transparent = -1;  // palette index of the transparent pixels, or -1
};

bool HasTransparentPixel(const Bitmap& bitmap) {
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < bitmap.Width(); ++x) {
            if (IsTransparent(row[x])) return true;
        }
    }
    return false;
}

// Index every pixel exactly; false when the picture has too many colours.
bool IndexExactly(const Bitmap& bitmap, bool transparent, IndexedPicture& out) {
    const int limit = transparent ? kGifMaxExactColours : kGifPaletteSize;
    auto table = std::make_unique<ColourTable>();
    const std::size_t width = static_cast<std::size_t>(bitmap.Width());
    // The transparent entry goes last, after every visible colour.
    const std::uint8_t transparentIndex = static_cast<std::uint8_t>(kGifPaletteSize - 1);
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint32_t* row = bitmap.Row(y);
        std::uint8_t* dst = out.indices.data() + static_cast<std::size_t>(y) * width;
        for (std::size_t x = 0; x < width; ++x) {
            if (IsTransparent(row[x])) {
                dst[x] = transparentIndex;
                continue;
            }
            int index = table->IndexOf(row[x] & kRgbMask, limit);
            if (index < 0) return false;
            dst[x] = static_cast<std::uint8_t>(index);
        }
    }
    out.palette = table->Palette();
    out.colours = table->Count();
    if (transparent) {
        // Move the transparent pixels from the provisional last entry to the next free one.
        out.transparent = out.colours;
        if (out.transparent != transparentIndex) {
            for (std::uint8_t& i : out.indices) {
                if (i == transparentIndex) i = static_cast<std::uint8_t>(out.transparent);
            }
        }
        out.palette[static_cast<std::size_t>(out.transparent)] = {};
        ++out.colours;
    }
    return true;
}

// Remembers the palette index of recently seen colours; a picture repeats most of its
// colours, and a lookup here is far cheaper than a search. Direct-mapped: a colour
// simply replaces the one stored in its slot.
class IndexCache {
public:
    int Get(std::uint32_t rgb) const {
        const std::size_t slot = ColourSlot(rgb, kSlotBits);
        return keys_[slot] == (rgb | kStoredColour) ? values_[slot] : -1;
    }
    void Put(std::uint32_t rgb, std::uint8_t index) {
        const std::size_t slot = ColourSlot(rgb, kSlotBits);
        keys_[slot] = rgb | kStoredColour;
        values_[slot] = index;
    }

private:
    static constexpr int kSlotBits = 12;
    static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;

    std::array<std::uint32_t, kSlots> keys_{};
    std::array<std::uint8_t, kSlots> values_{};
};

// The visible colours of a picture for the quantizer, those that agree in the top five
// bits of each channel merged into their mean colour. The quantizer's time grows with
// the number of distinct colours, and an icon's soft edges and gradients have nearly
// as many as pixels. One per thread, kept between pictures: the buckets take 1 MiB,
// and only those used are cleared again.
class ColourHistogram {
public:
    void Add(std::uint32_t argb) {
        const std::size_t key = ((RedOf(argb) >> kDropBits) << (2 * kKeyBits)) |
                                ((GreenOf(argb) >> kDropBits) << kKeyBits) | (BlueOf(argb) >> kDropBits);
        Bucket& b = buckets_[key];
        if (b.count++ == 0) used_.push_back(static_cast<std::uint16_t>(key));
        b.r += RedOf(argb);
        b.g += GreenOf(argb);
        b.b += BlueOf(argb);
    }

    // The merged colours with their pixel counts; the histogram is empty afterwards.
    std::vector<WeightedColour> Take() {
        std::vector<WeightedColour> entries;
        entries.reserve(used_.size());
        for (const std::uint16_t key : used_) {
            Bucket& b = buckets_[key];
            const auto mean = [&b](std::uint64_t sum) {
                return static_cast<unsigned char>((sum + b.count / 2) / b.count);
            };
            entries.push_back({mean(b.r), mean(b.g), mean(b.b), b.count});
            b = Bucket{};
        }
        used_.clear();
        return entries;
    }

private:
    static constexpr int kKeyBits = 5;
    static constexpr int kDropBits = 8 - kKeyBits;
    struct Bucket {
        std::uint64_t r = 0, g = 0, b = 0;
        unsigned count = 0;
    };
    std::unique_ptr<Bucket[]> buckets_ = std::make_unique<Bucket[]>(std::size_t{1} << (3 * kKeyBits));
    std::vector<std::uint16_t> used_;
};

// The palette for a picture of more colours than a palette holds, chosen by our own
// quantizer over the five-bit histogram: libimagequant, which we used before, spends
// most of an icon's time on its fixed set-up per picture (an OpenMP team for each of
// its hundreds of parallel regions), which its interface gives no way to avoid.
void ChooseQuantizedPalette(const Bitmap& bitmap, bool transparent, IndexedPicture& out) {
    thread_local ColourHistogram colours;
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < bitmap.Width(); ++x) {
            if (!IsTransparent(row[x])) colours.Add(row[x]);
        }
    }
    std::vector<WeightedColour> entries = colours.Take();
    // With transparent pixels, one entry stays free for them.
    const std::vector<PaletteEntry> palette =
        ChoosePalette(entries, transparent ? kGifPaletteSize - 1 : kGifPaletteSize);
    std::copy(palette.begin(), palette.end(), out.palette.begin());
    out.colours = static_cast<int>(palette.size());
    if (transparent) {
        out.transparent = out.colours++;
        out.palette[static_cast<std::size_t>(out.transparent)] = {};
    }
}

// Quantize the visible colours, then give every visible pixel the nearest palette
// colour and every transparent pixel the entry after them. No dithering: it scored
// lower on small icons.
void IndexQuantized(const Bitmap& bitmap, bool transparent, IndexedPicture& out) {
    ChooseQuantizedPalette(bitmap, transparent, out);
    const int visible = transparent ? out.colours - 1 : out.colours;
    const NearestColour nearest(std::span<const PaletteEntry>(out.palette.data(), static_cast<std::size_t>(visible)));
    auto cache = std::make_unique<IndexCache>();
    const int width = bitmap.Width();
    std::uint8_t hint = 0;  // the last pixel's entry: neighbours tend to share one
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint32_t* row = bitmap.Row(y);
        std::uint8_t* dst = out.indices.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            if (IsTransparent(row[x])) {
                dst[x] = static_cast<std::uint8_t>(out.transparent);
                continue;
            }
            const std::uint32_t rgb = row[x] & kRgbMask;
            int index = cache->Get(rgb);
            if (index < 0) {
                index = nearest.Find(static_cast<int>(RedOf(rgb)), static_cast<int>(GreenOf(rgb)),
                                     static_cast<int>(BlueOf(rgb)), hint);
                cache->Put(rgb, static_cast<std::uint8_t>(index));
            }
            dst[x] = hint = static_cast<std::uint8_t>(index);
        }
    }
}

int CollectBytes(GifFileType* gif, const GifByteType* data, int len) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + len);
    return len;
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        EGifCloseFile(gif, &error);
    }
};

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

std::vector<std::uint8_t> WriteGif(const IndexedPicture& picture, int width, int height,
                                   const std::string& path) {
    const auto fail = [&path]() -> DataError {
        return DataError(ErrorCause::Undecodable, path, "cannot encode the picture as GIF");
    };
    std::vector<std::uint8_t> bytes;
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(EGifOpen(&bytes, CollectBytes, &error));
    if (!gif) throw fail();

    // The palette size must be a power of two, at least 2.
    const int bits = GifBitSize(picture.colours < 2 ? 2 : picture.colours);
    std::array<GifColorType, kGifPaletteSize> colours{};
    for (int i = 0; i < picture.colours; ++i) {
        const PaletteEntry& e = picture.palette[static_cast<std::size_t>(i)];
        colours[static_cast<std::size_t>(i)] = {e.r, e.g, e.b};
    }
    std::unique_ptr<ColorMapObject, MapDeleter> map(GifMakeMapObject(1 << bits, colours.data()));
    if (!map) throw fail();

    EGifSetGifVersion(gif.get(), true);  // GIF89a, for the transparent index
    if (EGifPutScreenDesc(gif.get(), width, height, kColourBits, 0, map.get()) == GIF_ERROR) throw fail();
    if (picture.transparent >= 0) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
        gcb.UserInputFlag = false;
        gcb.DelayTime = 0;
        gcb.TransparentColor = picture.transparent;
        GifByteType extension[4];
        const auto len = static_cast<int>(EGifGCBToExtension(&gcb, extension));
        if (EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, len, extension) == GIF_ERROR) throw fail();
    }
    if (EGifPutImageDesc(gif.get(), 0, 0, width, height, false, nullptr) == GIF_ERROR) throw fail();
    // giflib takes the rows as non-const, but only reads them.
    auto* row = const_cast<GifPixelType*>(picture.indices.data());
    for (int y = 0; y < height; ++y, row += width) {
        if (EGifPutLine(gif.get(), row, width) == GIF_ERROR) throw fail();
    }
    GifFileType* done = gif.release();
    if (EGifCloseFile(done, &error) == GIF_ERROR) throw fail();
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> EncodeGif(const Bitmap& bitmap, const std::string& path) {
    const int width = bitmap.Width(), height = bitmap.Height();
    if (width > kGifMaxSide || height > kGifMaxSide) {
        throw DataError(ErrorCause::TooLarge, path,
                        "picture of " + std::to_string(width) + " x " + std::to_string(height) +
                            " pixels is too large for GIF (at most " + std::to_string(kGifMaxSide) +
                            " per side)");
    }
    IndexedPicture picture;
    picture.indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const bool transparent = HasTransparentPixel(bitmap);
    if (!IndexExactly(bitmap, transparent, picture)) {
        picture = IndexedPicture{};
        picture.indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        IndexQuantized(bitmap, transparent, picture);
    }
    return WriteGif(picture, width, height, path);
}

}  // namespace tavro
