// JPEG encoding of a bitmap, by the imaging library's writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

class Bitmap;  // imaging/bitmap.h

// The whole JPEG file for a non-null bitmap. JPEG has no alpha: the colours are kept
// and every pixel is written opaque. `path` names the destination in the DataError
// raised when the picture cannot be encoded.
std::vector<std::uint8_t> EncodeJpeg(const Bitmap& bitmap, const std::string& path);

}  // namespace tavro
