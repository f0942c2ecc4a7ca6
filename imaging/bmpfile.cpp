#include "imaging/bmpfile.h"

#include "imaging/bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "imaging/bytes.h"
#include "imaging/errors.h"

namespace tavro {

namespace {

constexpr std::uint32_t kBitsPerPixel = 32;
constexpr std::size_t kBytesPerPixel = 4;

void StoreU16le(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

std::uint16_t LoadU16le(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

std::vector<std::uint8_t> EncodeBmp32(const Bitmap& bitmap, const std::string& path) {
    const std::uint64_t width = static_cast<std::uint64_t>(bitmap.Width());
    const std::uint64_t height = static_cast<std::uint64_t>(bitmap.Height());
    const std::uint64_t pixelBytes = width * height * kBytesPerPixel;
    // Both sizes are 32-bit fields of the header.
    if (pixelBytes > std::numeric_limits<std::uint32_t>::max() - kBmpHeaderSize) {
        throw DataError(ErrorCause::TooLarge, path,
                        "picture of " + std::to_string(width) + " x " + std::to_string(height) +
                            " pixels is too large for a bitmap file");
    }
    std::vector<std::uint8_t> out(kBmpHeaderSize + static_cast<std::size_t>(pixelBytes));
    std::uint8_t* h = out.data();
    h[0] = 'B';
    h[1] = 'M';
    store_u32le(h + 2, static_cast<std::uint32_t>(out.size()));
    store_u32le(h + 6, 0);
    store_u32le(h + 10, kBmpHeaderSize);
    store_u32le(h + 14, kBmpInfoHeaderSize);
    store_u32le(h + 18, static_cast<std::uint32_t>(width));
    store_u32le(h + 22, static_cast<std::uint32_t>(height));
    StoreU16le(h + 26, 1);
    StoreU16le(h + 28, kBitsPerPixel);
    store_u32le(h + 30, kBmpCompressionRgb);
    store_u32le(h + 34, static_cast<std::uint32_t>(pixelBytes));
    // Resolution, colours used and colours important (offsets 38 to 53) stay 0.

    // A packed ARGB value stored little-endian is exactly B G R A.
    std::uint8_t* p = h + kBmpHeaderSize;
    for (int y = bitmap.Height() - 1; y >= 0; --y) {
        const std::uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < bitmap.Width(); ++x, p += kBytesPerPixel) store_u32le(p, row[x]);
    }
    return out;
}

bool ApplyBmp32Alpha(std::span<const std::uint8_t> file, QImage& image) {
    if (file.size() < kBmpHeaderSize) return false;
    if (image.format() != QImage::Format_ARGB32) return false;
    const std::uint8_t* h = file.data();
    const std::uint32_t pixelOffset = load_u32le(h + 10);
    const std::uint32_t infoSize = load_u32le(h + 14);
    const auto width = static_cast<std::int32_t>(load_u32le(h + 18));
    const auto height = static_cast<std::int32_t>(load_u32le(h + 22));
    const std::uint16_t bits = LoadU16le(h + 28);
    const std::uint32_t compression = load_u32le(h + 30);
    // Older headers (12 bytes) have no compression field and no 32-bit pixels.
    if (infoSize < kBmpInfoHeaderSize || bits != kBitsPerPixel) return false;
    if (compression != kBmpCompressionRgb) return false;
    if (width <= 0 || height == 0 || height == std::numeric_limits<std::int32_t>::min()) return false;
    const bool topDown = height < 0;
    const std::int64_t rows = std::abs(static_cast<std::int64_t>(height));
    if (width != image.width() || rows != image.height()) return false;

    // 32-bit rows need no padding to reach a multiple of 4 bytes.
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(width) * kBytesPerPixel;
    for (std::int64_t r = 0; r < rows; ++r) {
        const std::uint64_t rowOffset = pixelOffset + static_cast<std::uint64_t>(r) * rowBytes;
        if (rowOffset >= file.size()) break;
        const std::uint64_t available = (file.size() - rowOffset) / kBytesPerPixel;
        const int count = static_cast<int>(std::min<std::uint64_t>(available, static_cast<std::uint64_t>(width)));
        const int y = static_cast<int>(topDown ? r : rows - 1 - r);
        auto* line = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        const std::uint8_t* src = h + rowOffset + 3;  // alpha is the fourth byte: B G R A
        for (int x = 0; x < count; ++x, src += kBytesPerPixel) {
            line[x] = (line[x] & 0x00FFFFFFu) | (static_cast<std::uint32_t>(*src) << 24);
        }
    }
    return true;
}

}  // namespace tavro
