// The handset's ".k" bitmap, 18-bit (with or without a 1-bit mask) and 32-bit.
//
// Header, 16 bytes, little-endian:
//   offset 0   width   signed 32-bit, pixels per row
//   offset 4   height  signed 32-bit, rows
//   offset 8   depth   18 for the 18-bit variant; anything else means 32-bit
//   offset 12  stride  bytes per stored pixel row
// Pixel rows follow at offset 16, top row first, `stride` bytes each.
//   18-bit: 3 bytes per pixel, bits 0-5 blue, 6-11 green, 12-17 red; stride is
//           3 x width rounded up to a multiple of 4. An optional mask follows the
//           pixels: one bit per pixel (bit x mod 8, LSB first, 1 = opaque), rows of
//           ceil(width / 8) rounded up to a multiple of 4 bytes. The mask is present
//           when the file size - 16 is greater than stride x height.
//   32-bit: 4 bytes per pixel, B G R A; stride is 4 x width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavro {

class Bitmap;  // imaging/bitmap.h

constexpr std::int32_t kDepth18 = 18;
constexpr std::int32_t kDepth32 = 32;
constexpr std::size_t kKHeaderSize = 16;
// The handset's work areas hold 640 x 480 x 4 bytes plus one; pictures whose pixel
// rows or mask rows need more are refused.
constexpr std::size_t kKWorkAreaSize = 640 * 480 * 4 + 1;

struct KHeader {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t depth = 0;
    std::int32_t stride = 0;
};

// The header from the first 16 bytes; bytes missing from a shorter file read as 0.
KHeader ParseKHeader(std::span<const std::uint8_t> file);

// 3 x width rounded up to a multiple of 4.
std::int64_t KStride18(std::int64_t width);
// ceil(width / 8) rounded up to a multiple of 4.
std::int64_t KMaskStride(std::int64_t width);

// The mask rule: size - 16 > stride x height, compared as signed 32-bit numbers.
bool KHasMask(const KHeader& header, std::uint64_t fileSize);

// The most bytes of a .k file that decoding reads: the header, the pixel rows and the
// mask rows, each area at most kKWorkAreaSize.
constexpr std::size_t kKMaxReadSize = kKHeaderSize + 2 * kKWorkAreaSize;

// Decodes the bytes of a .k file. Bytes missing from a short file read as 0. A
// picture whose size is 0 or below, whose rows are shorter than their pixels, or
// whose rows are beyond the work areas raises DataError naming `name`.
Bitmap DecodeKBitmap18(std::span<const std::uint8_t> file, bool hasMask, const std::string& name);
Bitmap DecodeKBitmap32(std::span<const std::uint8_t> file, const std::string& name);

// The whole .k file for a non-null bitmap: 18-bit (with the mask or without) or
// 32-bit. A picture beyond the work areas raises DataError naming `name`.
std::vector<std::uint8_t> EncodeKBitmap18(const Bitmap& bitmap, bool withMask, const std::string& name);
std::vector<std::uint8_t> EncodeKBitmap32(const Bitmap& bitmap, const std::string& name);

}  // namespace tavro
