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
// The handset reads a picture into two work areas of kKWorkAreaSize bytes, one for
// the pixel rows and one for the mask rows: a picture whose rows need more is
// refused before anything is decoded or written.
#include "imaging/kbitmap.h"

#include "imaging/bitmap.h"
#include "imaging/bytes.h"
#include "imaging/errors.h"

namespace tavro {

namespace {

constexpr std::int64_t kBytesPerPixel18 = 3;
constexpr std::int64_t kBytesPerPixel32 = 4;
constexpr std::uint32_t kChannel6Mask = 0x3F;
constexpr std::uint32_t kOpaque = 255;

std::string SizeText(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

void CheckPositiveSize(const std::string& path, std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) {
        throw DataError(ErrorCause::Undecodable, path,
                        "picture of " + SizeText(width, height) + ": width and height must be at least 1");
    }
}

// `what` names the area ("pixel rows", "mask rows"); `bytes` is computed in 64 bits.
void CheckFitsWorkArea(const std::string& path, std::int64_t width, std::int64_t height, std::int64_t bytes,
                       const char* what) {
    if (bytes > static_cast<std::int64_t>(kKWorkAreaSize)) {
        throw DataError(ErrorCause::TooLarge, path,
                        "picture of " + SizeText(width, height) + " is too large: its " + what + " need " +
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
        throw DataError(ErrorCause::Undecodable, path,
                        "picture of " + SizeText(width, height) + " has rows of " + std::to_string(stride) +
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

// Up to four bytes little-endian at `off`; bytes past the end of a short file read as 0.
std::uint32_t LoadPadded(std::span<const std::uint8_t> file, std::size_t off, std::size_t len) {
    if (InBounds(off, len, file.size())) {
        return len == 3 ? load_u24le(file.data() + off) : len == 4 ? load_u32le(file.data() + off) : file[off];
    }
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < len; ++i) {
        if (off < file.size() && i < file.size() - off) v |= static_cast<std::uint32_t>(file[off + i]) << (8 * i);
    }
    return v;
}

Bitmap NewBitmap(const KHeader& h, const std::string& name) {
    Bitmap bitmap(h.width, h.height);
    if (bitmap.IsNull())
        throw DataError(ErrorCause::TooLarge, name,
                        "no memory for a picture of " + SizeText(h.width, h.height));
    return bitmap;
}

// A .k file with its header written and its rows zeroed.
std::vector<std::uint8_t> NewKFile(const KHeader& h, const Extent& e) {
    std::vector<std::uint8_t> out(kKHeaderSize + e.pixelBytes + e.maskBytes);
    store_u32le(out.data(), static_cast<std::uint32_t>(h.width));
    store_u32le(out.data() + 4, static_cast<std::uint32_t>(h.height));
    store_u32le(out.data() + 8, static_cast<std::uint32_t>(h.depth));
    store_u32le(out.data() + 12, static_cast<std::uint32_t>(h.stride));
    return out;
}

}  // namespace

KHeader ParseKHeader(std::span<const std::uint8_t> file) {
    KHeader h;
    h.width = static_cast<std::int32_t>(LoadPadded(file, 0, 4));
    h.height = static_cast<std::int32_t>(LoadPadded(file, 4, 4));
    h.depth = static_cast<std::int32_t>(LoadPadded(file, 8, 4));
    h.stride = static_cast<std::int32_t>(LoadPadded(file, 12, 4));
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

Bitmap DecodeKBitmap18(std::span<const std::uint8_t> file, bool hasMask, const std::string& name) {
    const KHeader h = ParseKHeader(file);
    const Extent e = CheckPicture(name, h.width, h.height, h.stride, kBytesPerPixel18, hasMask);
    const std::size_t stride = static_cast<std::size_t>(h.stride);
    const std::size_t maskStride = static_cast<std::size_t>(KMaskStride(h.width));
    Bitmap bitmap = NewBitmap(h, name);
    for (int y = 0; y < h.height; ++y) {
        std::size_t pixels = kKHeaderSize + static_cast<std::size_t>(y) * stride;
        const std::size_t mask = kKHeaderSize + e.pixelBytes + static_cast<std::size_t>(y) * maskStride;
        std::uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < h.width; ++x, pixels += kBytesPerPixel18) {
            // Bits 18-23 are ignored; 6-bit channels come back shifted, low bits zero.
            const std::uint32_t v = LoadPadded(file, pixels, kBytesPerPixel18);
            const std::uint32_t blue = (v & kChannel6Mask) << 2;
            const std::uint32_t green = ((v >> 6) & kChannel6Mask) << 2;
            const std::uint32_t red = ((v >> 12) & kChannel6Mask) << 2;
            std::uint32_t alpha = kOpaque;
            if (hasMask) alpha = ((LoadPadded(file, mask + (x >> 3), 1) >> (x & 7)) & 1) ? kOpaque : 0;
            row[x] = PackArgb(alpha, red, green, blue);
        }
    }
    return bitmap;
}

Bitmap DecodeKBitmap32(std::span<const std::uint8_t> file, const std::string& name) {
    const KHeader h = ParseKHeader(file);
    CheckPicture(name, h.width, h.height, h.stride, kBytesPerPixel32, false);
    const std::size_t stride = static_cast<std::size_t>(h.stride);
    Bitmap bitmap = NewBitmap(h, name);
    for (int y = 0; y < h.height; ++y) {
        std::size_t pixels = kKHeaderSize + static_cast<std::size_t>(y) * stride;
        std::uint32_t* row = bitmap.Row(y);
        // B G R A read little-endian is the packed ARGB colour.
        for (int x = 0; x < h.width; ++x, pixels += kBytesPerPixel32) {
            row[x] = LoadPadded(file, pixels, kBytesPerPixel32);
        }
    }
    return bitmap;
}

std::vector<std::uint8_t> EncodeKBitmap18(const Bitmap& bitmap, bool withMask, const std::string& name) {
    KHeader h;
    h.width = bitmap.Width();
    h.height = bitmap.Height();
    h.depth = kDepth18;
    const Extent e = CheckPicture(name, h.width, h.height, KStride18(h.width), kBytesPerPixel18, withMask);
    h.stride = static_cast<std::int32_t>(KStride18(h.width));
    std::vector<std::uint8_t> out = NewKFile(h, e);
    const std::size_t stride = static_cast<std::size_t>(h.stride);
    const std::size_t maskStride = static_cast<std::size_t>(KMaskStride(h.width));
    // The alpha of a 32-bit BMP source is the fourth byte of its stored pixels: the
    // loader has already put it into the bitmap, so every source is read the same way.
    for (int y = 0; y < h.height; ++y) {
        std::uint8_t* pixels = out.data() + kKHeaderSize + static_cast<std::size_t>(y) * stride;
        std::uint8_t* mask = out.data() + kKHeaderSize + e.pixelBytes + static_cast<std::size_t>(y) * maskStride;
        const std::uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < h.width; ++x, pixels += kBytesPerPixel18) {
            const std::uint32_t c = row[x];
            // 8 to 6 bits: the two low bits are dropped, nothing is rounded.
            store_u24le(pixels, ((RedOf(c) >> 2) << 12) | ((GreenOf(c) >> 2) << 6) | (BlueOf(c) >> 2));
            // Any alpha from 1 to 255 is opaque. The rows start zeroed, so clear bits stay clear.
            if (withMask && AlphaOf(c) != 0) mask[x >> 3] |= static_cast<std::uint8_t>(1u << (x & 7));
        }
    }
    return out;
}

std::vector<std::uint8_t> EncodeKBitmap32(const Bitmap& bitmap, const std::string& name) {
    KHeader h;
    h.width = bitmap.Width();
    h.height = bitmap.Height();
    h.depth = kDepth32;
    // Computed in 64 bits; the work-area check bounds it before it enters the header.
    const std::int64_t stride = kBytesPerPixel32 * h.width;
    const Extent e = CheckPicture(name, h.width, h.height, stride, kBytesPerPixel32, false);
    h.stride = static_cast<std::int32_t>(stride);
    std::vector<std::uint8_t> out = NewKFile(h, e);
    for (int y = 0; y < h.height; ++y) {
        std::uint8_t* pixels = out.data() + kKHeaderSize + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
        const std::uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < h.width; ++x, pixels += kBytesPerPixel32) store_u32le(pixels, row[x]);
    }
    return out;
}

}  // namespace tavro
