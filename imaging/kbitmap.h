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
#include <string>
#include <vector>

namespace tavro {

class Bitmap;  // imaging/bitmap.h
struct DecodeNotes;

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

// The header from its 16 bytes.
KHeader ParseKHeader(const std::uint8_t* bytes);

// 3 x width rounded up to a multiple of 4.
std::int64_t KStride18(std::int64_t width);
// ceil(width / 8) rounded up to a multiple of 4.
std::int64_t KMaskStride(std::int64_t width);

// The mask rule: size - 16 > stride x height, compared as signed 32-bit numbers.
bool KHasMask(const KHeader& header, std::uint64_t fileSize);

// Reads an 18-bit .k file into a bitmap. Raises IoError for file failures and
// DataError for a picture whose size is 0 or below or beyond the work areas.
Bitmap DecodeKBitmap18(const std::string& source, bool hasMask);
Bitmap DecodeKBitmap32(const std::string& source);

// The same, saved as a standard picture with the encoder for `mime`.
void ReadKBitmap18(const std::string& source, const std::string& dest, bool hasMask, const std::string& mime);
void ReadKBitmap32(const std::string& source, const std::string& dest, const std::string& mime);

// Loads any picture the imaging layer can load and writes it as a .k file at `dest`
// (the caller has given it the .k extension). A source that cannot be loaded, or is
// beyond the work areas, raises DataError and writes nothing. `notes` receives what
// loading the source noticed.
void WriteKBitmap18(const std::string& source, const std::string& dest, bool withMask,
                    DecodeNotes* notes = nullptr);
void WriteKBitmap32(const std::string& source, const std::string& dest, DecodeNotes* notes = nullptr);
// The same .k files as bytes, written nowhere.
std::vector<std::uint8_t> EncodeKBitmap18(const std::string& source, bool withMask, DecodeNotes* notes = nullptr);
std::vector<std::uint8_t> EncodeKBitmap32(const std::string& source, DecodeNotes* notes = nullptr);

}  // namespace tavro
