// PNG encoding of a bitmap, deflated with libdeflate.
//
// Layout written (integers big-endian; each chunk is its data's length, its type,
// its data and a CRC-32 of type and data):
//   offset 0   8   signature 89 50 4E 47 0D 0A 1A 0A
//   offset 8   25  IHDR: width, height, bit depth 8, colour type 6 (RGBA),
//                  compression 0, filter 0, interlace 0
//   offset 33      IDAT: one zlib stream of the rows, each row a filter byte (0 to 4)
//                  and its pixels, R G B A per pixel, alpha not premultiplied
//   then       12  IEND, no data
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

class Bitmap;  // imaging/bitmap.h

// The whole PNG file for a non-null bitmap. `path` names the destination in the
// DataError raised when the picture cannot be encoded.
std::vector<std::uint8_t> EncodePng(const Bitmap& bitmap, const std::string& path);

}  // namespace tavro
