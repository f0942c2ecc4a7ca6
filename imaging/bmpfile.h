// The 32-bit Windows bitmap that this program writes, and the alpha channel of the
// 32-bit bitmaps it reads.
//
// Layout written (all integers little-endian):
//   offset 0   2  "BM"
//   offset 2   4  file size: 54 + 4 x width x height
//   offset 6   4  reserved, 0
//   offset 10  4  offset of the pixel data: 54
//   offset 14  4  info header size: 40
//   offset 18  4  width
//   offset 22  4  height, positive: rows stored bottom-up
//   offset 26  2  planes: 1
//   offset 28  2  bits per pixel: 32
//   offset 30  4  compression: 0 (BI_RGB)
//   offset 34  4  pixel data size: 4 x width x height
//   offset 38  8  horizontal and vertical resolution: 0 (not given)
//   offset 46  8  colours used and important: 0
//   offset 54     pixel rows, bottom row first, 4 bytes per pixel: B G R A
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class QImage;

namespace tavro {

class Bitmap;  // imaging/bitmap.h

constexpr std::size_t kBmpFileHeaderSize = 14;
constexpr std::size_t kBmpInfoHeaderSize = 40;
constexpr std::size_t kBmpHeaderSize = kBmpFileHeaderSize + kBmpInfoHeaderSize;  // 54
constexpr std::uint32_t kBmpCompressionRgb = 0;        // BI_RGB
constexpr std::uint32_t kBmpCompressionBitfields = 3;  // BI_BITFIELDS

// The whole file for a non-null bitmap, as laid out above. `path` names the
// destination in the DataError raised for a picture too large for the format.
std::vector<std::uint8_t> EncodeBmp32(const Bitmap& bitmap, const std::string& path);

// For a 32-bit BI_RGB BMP (`file`, already recognised as a BMP by its signature),
// copies the fourth byte of every stored pixel into the alpha of `image`
// (Format_ARGB32, already decoded from the same bytes): the usual
// decoders read such files as opaque. Pixels are located by the header's pixel-data
// offset; negative heights are top-down rows. Pixels whose bytes lie outside the file
// keep their alpha. Returns false, touching nothing, when the bitmap is not such a
// file or the sizes disagree. A BI_BITFIELDS BMP is not such a file: its masks say
// where its channels are, and its fourth byte is alpha only when an alpha mask says so.
bool ApplyBmp32Alpha(std::span<const std::uint8_t> file, QImage& image);

}  // namespace tavro
