#include "imaging/gifwriter.h"

#include "imaging/bitmap.h"

#include <gif_lib.h>
#include <libimagequant.h>

#include <algorithm>
#include <array>
#include <limits>
#include <memory>

#include "imaging/errors.h"

// Debian builds libimagequant with OpenMP. Its worker threads make it about three times
// slower here than one thread, and even on one thread the runtime allocates and frees
// a team for each of the library's hundreds of parallel regions per picture, a fifth
// of the work for an icon. The program runs every parallel region on the calling
// thread instead: this definition takes the place of the runtime's for the whole
// process, where libimagequant is the only user of OpenMP. Outside a team the
// runtime's omp_get_thread_num() and omp_get_num_threads() give 0 and 1, so the
// library's loops cover all their work in this one call.
extern "C" void GOMP_parallel(void (*fn)(void*), void* data, unsigned /*threads*/, unsigned /*flags*/) {
    fn(data);
}

namespace tavro {

namespace {

constexpr std::uint32_t kRgbMask = 0x00FFFFFFu;
constexpr int kColourBits = 8;
// libimagequant's fastest setting: one pass of median cut, no refinement.
constexpr int kQuantizerSpeed = 10;

bool IsTransparent(std::uint32_t argb) { return AlphaOf(argb) < kGifOpaqueAlpha; }

// Colour tables store a colour as its RGB with this bit set, which tells a stored
// black from an empty slot, in the slot picked by the top bits of a multiplicative hash.
constexpr std::uint32_t kStoredColour = 0x01000000u;
constexpr std::size_t ColourSlot(std::uint32_t rgb, int slotBits) {
    return (rgb * 2654435761u) >> (32 - slotBits);
}

struct PaletteEntry {
    std::uint8_t r = 0, g = 0, b = 0;
};

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

// libimagequant and this file are built for SSE. When earlier code in the process has
// left the upper halves of the AVX registers in use, every SSE instruction pays for
// merging with them; here that made GIF encoding half as slow again, and nothing in the
// process cleared the state (on AVX-512 machines glibc's string functions use registers
// that need no clearing, so they no longer do it on return). One vzeroupper before the
// work clears it.
void ClearUpperVectorState() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx) asm volatile("vzeroupper");
#endif
}

struct LiqDeleter {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
    void operator()(liq_histogram* p) const { liq_histogram_destroy(p); }
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};

// The nearest palette entry of a colour, by squared distance in red, green and blue. The entries are kept
// sorted by green, and a search walks outwards from the colour's green until the green difference alone is no
// better than the best found.
class NearestColour {
public:
    explicit NearestColour(const liq_palette& palette) {
        for (unsigned i = 0; i < palette.count; ++i) {
            const liq_color& c = palette.entries[i];
            entries_[count_++] = {c.g, c.r, c.b, static_cast<std::uint8_t>(i)};
        }
        std::sort(entries_.begin(), entries_.begin() + count_,
                  [](const Entry& a, const Entry& b) { return a.g < b.g; });
    }

    std::uint8_t Find(int r, int g, int b) const {
        const Entry* first = entries_.data();
        const Entry* last = first + count_;
        const Entry* middle =
            std::lower_bound(first, last, g, [](const Entry& e, int value) { return e.g < value; });
        std::uint8_t best = 0;
        int bestDistance = std::numeric_limits<int>::max();
        const auto consider = [&](const Entry& e, int dg) {
            if (dg * dg >= bestDistance) return false;
            const int dr = e.r - r, db = e.b - b;
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) bestDistance = distance, best = e.index;
            return true;
        };
        for (const Entry* e = middle; e != last && consider(*e, e->g - g); ++e) {
        }
        for (const Entry* e = middle; e != first && consider(*(e - 1), g - (e - 1)->g); --e) {
        }
        return best;
    }

private:
    struct Entry {
        int g, r, b;
        std::uint8_t index;
    };
    std::array<Entry, kGifPaletteSize> entries_{};
    int count_ = 0;
};

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
// as many as pixels; merging at this level made it a third faster while the palette
// it chose scored the same. One per thread, kept between pictures: the buckets take
// 1 MiB, and only those used are cleared again.
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
    std::vector<liq_histogram_entry> Take() {
        std::vector<liq_histogram_entry> entries;
        entries.reserve(used_.size());
        for (const std::uint16_t key : used_) {
            Bucket& b = buckets_[key];
            const auto mean = [&b](std::uint64_t sum) {
                return static_cast<unsigned char>((sum + b.count / 2) / b.count);
            };
            entries.push_back({{mean(b.r), mean(b.g), mean(b.b), 255}, b.count});
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

// Quantize the visible colours with libimagequant, then give every visible pixel the
// nearest palette colour and every transparent pixel an entry of its own after them.
// The mapping is done here rather than by the library, which took a third of the time
// for the same result without dithering; dithering scored lower on small icons.
void IndexQuantized(const Bitmap& bitmap, bool transparent, const std::string& path, IndexedPicture& out) {
    const int width = bitmap.Width(), height = bitmap.Height();
    const auto fail = [&path]() -> DataError {
        return DataError(path, "cannot quantize the picture's colours for GIF");
    };
    thread_local ColourHistogram colours;
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < width; ++x) {
            if (!IsTransparent(row[x])) colours.Add(row[x]);
        }
    }
    const std::vector<liq_histogram_entry> entries = colours.Take();

    std::unique_ptr<liq_attr, LiqDeleter> attr(liq_attr_create());
    if (!attr) throw fail();
    // With transparent pixels, one entry stays free for them.
    liq_set_max_colors(attr.get(), transparent ? kGifPaletteSize - 1 : kGifPaletteSize);
    liq_set_speed(attr.get(), kQuantizerSpeed);
    std::unique_ptr<liq_histogram, LiqDeleter> histogram(liq_histogram_create(attr.get()));
    liq_result* raw = nullptr;
    if (!histogram ||
        liq_histogram_add_colors(histogram.get(), attr.get(), entries.data(),
                                 static_cast<int>(entries.size()), 0) != LIQ_OK ||
        liq_histogram_quantize(histogram.get(), attr.get(), &raw) != LIQ_OK) {
        throw fail();
    }
    std::unique_ptr<liq_result, LiqDeleter> result(raw);
    const liq_palette& palette = *liq_get_palette(result.get());
    out.colours = static_cast<int>(palette.count);
    for (unsigned i = 0; i < palette.count; ++i) {
        out.palette[i] = {palette.entries[i].r, palette.entries[i].g, palette.entries[i].b};
    }
    if (transparent) {
        out.transparent = out.colours++;
        out.palette[static_cast<std::size_t>(out.transparent)] = {};
    }

    const NearestColour nearest(palette);
    auto cache = std::make_unique<IndexCache>();
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = bitmap.Row(y);
        std::uint8_t* dst =
            out.indices.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            if (IsTransparent(row[x])) {
                dst[x] = static_cast<std::uint8_t>(out.transparent);
                continue;
            }
            const std::uint32_t rgb = row[x] & kRgbMask;
            int index = cache->Get(rgb);
            if (index < 0) {
                index = nearest.Find(static_cast<int>(RedOf(rgb)), static_cast<int>(GreenOf(rgb)),
                                     static_cast<int>(BlueOf(rgb)));
                cache->Put(rgb, static_cast<std::uint8_t>(index));
            }
            dst[x] = static_cast<std::uint8_t>(index);
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
    const auto fail = [&path]() -> DataError { return DataError(path, "cannot encode the picture as GIF"); };
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
        throw DataError(path, "picture of " + std::to_string(width) + " x " + std::to_string(height) +
                                  " pixels is too large for GIF (at most " + std::to_string(kGifMaxSide) +
                                  " per side)");
    }
    ClearUpperVectorState();
    IndexedPicture picture;
    picture.indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const bool transparent = HasTransparentPixel(bitmap);
    if (!IndexExactly(bitmap, transparent, picture)) {
        picture = IndexedPicture{};
        picture.indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        IndexQuantized(bitmap, transparent, path, picture);
    }
    return WriteGif(picture, width, height, path);
}

}  // namespace tavro
