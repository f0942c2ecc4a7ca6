// The .k codec. Layout (little-endian):
//
//   offset  size                 meaning
//   0       4                    width, signed
//   4       4                    height, signed
//   8       4                    depth: 18, anything else reads as 32-bit
//   12      4                    stride: bytes per stored pixel row
//   16      stride x height      pixel rows, top row first
//                                  18-bit: 3 bytes, bits 0-5 blue, 6-11 green, 12-17 red
//                                  32-bit: 4 bytes, B G R A
//   ...     maskStride x height  18-bit only, optional: 1 bit per pixel, 1 = opaque
//
// Every picture passes through two process-wide work areas, PixelStore and MaskStore,
// so that no conversion allocates more than its bitmap. Their size is the format's
// limit: a picture whose rows need more is refused before anything is written.
#include "imaging/kbitmap.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "imaging/bitmap.h"
#include "imaging/bytes.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"

namespace tavro {

namespace {

constexpr std::int64_t kBytesPerPixel18 = 3;
constexpr std::int64_t kBytesPerPixel32 = 4;
constexpr std::uint32_t kChannel6Mask = 0x3F;
constexpr std::uint32_t kOpaque = 255;

std::array<std::uint8_t, kKWorkAreaSize> PixelStore;
std::array<std::uint8_t, kKWorkAreaSize> MaskStore;

// Zeroes the part of each work area that the coming picture uses; it never reads or
// writes beyond, so the rest may keep what an earlier picture left.
void ClearWorkAreas(std::size_t pixelBytes, std::size_t maskBytes) {
    std::memset(PixelStore.data(), 0, pixelBytes);
    std::memset(MaskStore.data(), 0, maskBytes);
}

std::string SizeText(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

void CheckPositiveSize(const std::string& path, std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) {
        throw DataError(path, "picture of " + SizeText(width, height) + ": width and height must be at least 1");
    }
}

// `what` names the area ("pixel rows", "mask rows"); `bytes` is computed in 64 bits.
void CheckFitsWorkArea(const std::string& path, std::int64_t width, std::int64_t height, std::int64_t bytes,
                       const char* what) {
    if (bytes > static_cast<std::int64_t>(kKWorkAreaSize)) {
        throw DataError(path, "picture of " + SizeText(width, height) + " is too large: its " + what + " need " +
                                  std::to_string(bytes) + " bytes, at most " + std::to_string(kKWorkAreaSize) +
                                  " fit");
    }
}

// The size checks of a picture about to be read or written, in the order that gives
// the clearest message. Returns the bytes of pixel rows and of mask rows.
struct Extent {
    std::size_t pixelBytes = 0;
    std::size_t maskBytes = 0;
};

Extent CheckPicture(const std::string& path, std::int64_t width, std::int64_t height, std::int64_t stride,
                    std::int64_t bytesPerPixel, bool withMask) {
    CheckPositiveSize(path, width, height);
    // A stride shorter than a row would make rows overlap and the last run past the data.
    if (stride < bytesPerPixel * width) {
        throw DataError(path, "picture of " + SizeText(width, height) + " has rows of " + std::to_string(stride) +
                                  " bytes, fewer than its " + std::to_string(bytesPerPixel * width) +
                                  " bytes of pixels");
    }
    Extent e;
    const std::int64_t pixelBytes = stride * height;
    CheckFitsWorkArea(path, width, height, pixelBytes, "pixel rows");
    e.pixelBytes = static_cast<std::size_t>(pixelBytes);
    if (withMask) {
        const std::int64_t maskBytes = KMaskStride(width) * height;
        CheckFitsWorkArea(path, width, height, maskBytes, "mask rows");
        e.maskBytes = static_cast<std::size_t>(maskBytes);
    }
    return e;
}

// Opens a .k file, checks its header and reads its pixel rows (and mask rows) into
// the work areas. Bytes missing from a short file stay zero.
KHeader ReadIntoWorkAreas(const std::string& source, std::int64_t bytesPerPixel, bool withMask) {
    File in = File::OpenRead(source);
    std::uint8_t raw[kKHeaderSize] = {};
    in.Read(raw, sizeof raw);
    const KHeader h = ParseKHeader(raw);
    const Extent e = CheckPicture(source, h.width, h.height, h.stride, bytesPerPixel, withMask);
    ClearWorkAreas(e.pixelBytes, e.maskBytes);
    in.Read(PixelStore.data(), e.pixelBytes);
    if (withMask) in.Read(MaskStore.data(), e.maskBytes);
    in.Close();
    return h;
}

std::vector<std::uint8_t> KFileBytes(const KHeader& h, std::size_t pixelBytes, std::size_t maskBytes) {
    std::vector<std::uint8_t> out(kKHeaderSize + pixelBytes + maskBytes);
    store_u32le(out.data(), static_cast<std::uint32_t>(h.width));
    store_u32le(out.data() + 4, static_cast<std::uint32_t>(h.height));
    store_u32le(out.data() + 8, static_cast<std::uint32_t>(h.depth));
    store_u32le(out.data() + 12, static_cast<std::uint32_t>(h.stride));
    std::copy_n(PixelStore.data(), pixelBytes, out.data() + kKHeaderSize);
    std::copy_n(MaskStore.data(), maskBytes, out.data() + kKHeaderSize + pixelBytes);
    return out;
}

}  // namespace

KHeader ParseKHeader(const std::uint8_t* p) {
    KHeader h;
    h.width = static_cast<std::int32_t>(load_u32le(p));
    h.height = static_cast<std::int32_t>(load_u32le(p + 4));
    h.depth = static_cast<std::int32_t>(load_u32le(p + 8));
    h.stride = static_cast<std::int32_t>(load_u32le(p + 12));
    return h;
}

std::int64_t KStride18(std::int64_t width) { return (kBytesPerPixel18 * width + 3) / 4 * 4; }

std::int64_t KMaskStride(std::int64_t width) { return ((width + 7) / 8 + 3) / 4 * 4; }

bool KHasMask(const KHeader& header, std::uint64_t fileSize) {
    // Both sides wrap to signed 32-bit numbers, as the format's own readers compare them.
    const auto data = static_cast<std::int32_t>(static_cast<std::uint32_t>(fileSize - kKHeaderSize));
    const auto pixels = static_cast<std::int32_t>(static_cast<std::uint32_t>(header.stride) *
                                                  static_cast<std::uint32_t>(header.height));
    return data > pixels;
}

Bitmap DecodeKBitmap18(const std::string& source, bool hasMask) {
    const KHeader h = ReadIntoWorkAreas(source, kBytesPerPixel18, hasMask);
    const std::size_t stride = static_cast<std::size_t>(h.stride);
    const std::size_t maskStride = static_cast<std::size_t>(KMaskStride(h.width));
    Bitmap bitmap(h.width, h.height);
    if (bitmap.IsNull()) throw DataError(source, "no memory for a picture of " + SizeText(h.width, h.height));
    for (int y = 0; y < h.height; ++y) {
        const std::uint8_t* pixels = PixelStore.data() + static_cast<std::size_t>(y) * stride;
        const std::uint8_t* mask = MaskStore.data() + static_cast<std::size_t>(y) * maskStride;
        std::uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < h.width; ++x, pixels += kBytesPerPixel18) {
            // Bits 18-23 are ignored; 6-bit channels come back shifted, low bits zero.
            const std::uint32_t v = load_u24le(pixels);
            const std::uint32_t blue = (v & kChannel6Mask) << 2;
            const std::uint32_t green = ((v >> 6) & kChannel6Mask) << 2;
            const std::uint32_t red = ((v >> 12) & kChannel6Mask) << 2;
            std::uint32_t alpha = kOpaque;
            if (hasMask) alpha = ((mask[x >> 3] >> (x & 7)) & 1) ? kOpaque : 0;
            row[x] = PackArgb(alpha, red, green, blue);
        }
    }
    return bitmap;
}

Bitmap DecodeKBitmap32(const std::string& source) {
    const KHeader h = ReadIntoWorkAreas(source, kBytesPerPixel32, false);
    const std::size_t stride = static_cast<std::size_t>(h.stride);
    Bitmap bitmap(h.width, h.height);
    if (bitmap.IsNull()) throw DataError(source, "no memory for a picture of " + SizeText(h.width, h.height));
    for (int y = 0; y < h.height; ++y) {
        const std::uint8_t* pixels = PixelStore.data() + static_cast<std::size_t>(y) * stride;
        std::uint32_t* row = bitmap.Row(y);
        // B G R A read little-endian is the packed ARGB colour.
        for (int x = 0; x < h.width; ++x, pixels += kBytesPerPixel32) row[x] = load_u32le(pixels);
    }
    return bitmap;
}

void ReadKBitmap18(const std::string& source, const std::string& dest, bool hasMask, const std::string& mime) {
    SaveBitmap(DecodeKBitmap18(source, hasMask), dest, mime);
}

void ReadKBitmap32(const std::string& source, const std::string& dest, const std::string& mime) {
    SaveBitmap(DecodeKBitmap32(source), dest, mime);
}

std::vector<std::uint8_t> EncodeKBitmap18(const std::string& source, bool withMask, DecodeNotes* notes) {
    const Bitmap bitmap = LoadPictureSource(source, notes);
    KHeader h;
    h.width = bitmap.Width();
    h.height = bitmap.Height();
    h.depth = kDepth18;
    const Extent e = CheckPicture(source, h.width, h.height, KStride18(h.width), kBytesPerPixel18, withMask);
    h.stride = static_cast<std::int32_t>(KStride18(h.width));
    ClearWorkAreas(e.pixelBytes, e.maskBytes);
    const std::size_t stride = static_cast<std::size_t>(h.stride);
    const std::size_t maskStride = static_cast<std::size_t>(KMaskStride(h.width));
    // The alpha of a 32-bit BMP source is the fourth byte of its stored pixels: the
    // loader has already put it into the bitmap, so every source is read the same way.
    for (int y = 0; y < h.height; ++y) {
        std::uint8_t* pixels = PixelStore.data() + static_cast<std::size_t>(y) * stride;
        std::uint8_t* mask = MaskStore.data() + static_cast<std::size_t>(y) * maskStride;
        const std::uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < h.width; ++x, pixels += kBytesPerPixel18) {
            const std::uint32_t c = row[x];
            // 8 to 6 bits: the two low bits are dropped, nothing is rounded.
            store_u24le(pixels, ((RedOf(c) >> 2) << 12) | ((GreenOf(c) >> 2) << 6) | (BlueOf(c) >> 2));
            // Any alpha from 1 to 255 is opaque. The area starts zeroed, so clear bits stay clear.
            if (withMask && AlphaOf(c) != 0) mask[x >> 3] |= static_cast<std::uint8_t>(1u << (x & 7));
        }
    }
    return KFileBytes(h, e.pixelBytes, e.maskBytes);
}

std::vector<std::uint8_t> EncodeKBitmap32(const std::string& source, DecodeNotes* notes) {
    const Bitmap bitmap = LoadPictureSource(source, notes);
    KHeader h;
    h.width = bitmap.Width();
    h.height = bitmap.Height();
    h.depth = kDepth32;
    // Computed in 64 bits; the work-area check bounds it before it enters the header.
    const std::int64_t stride = kBytesPerPixel32 * h.width;
    const Extent e = CheckPicture(source, h.width, h.height, stride, kBytesPerPixel32, false);
    h.stride = static_cast<std::int32_t>(stride);
    // Every byte of the pixel rows is written below, so the area is not cleared.
    for (int y = 0; y < h.height; ++y) {
        std::uint8_t* pixels = PixelStore.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
        const std::uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < h.width; ++x, pixels += kBytesPerPixel32) store_u32le(pixels, row[x]);
    }
    return KFileBytes(h, e.pixelBytes, 0);
}

void WriteKBitmap18(const std::string& source, const std::string& dest, bool withMask, DecodeNotes* notes) {
    WriteWholeFile(dest, EncodeKBitmap18(source, withMask, notes));
}

void WriteKBitmap32(const std::string& source, const std::string& dest, DecodeNotes* notes) {
    WriteWholeFile(dest, EncodeKBitmap32(source, notes));
}

}  // namespace tavro
