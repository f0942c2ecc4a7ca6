// The handset's ".raw" picture: 16-bit big-endian pixels (5-6-5) followed by a mask
// of one bit per pixel (MSB first, running on across rows, 1 = transparent); the
// size stands in the file name, as in icon(176x220).raw. Read and written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavro {

class Bitmap;  // imaging/bitmap.h

// The largest picture the handset's raw reader takes, in pixels.
constexpr std::int64_t kMaxRawPixels = 38721;

// Reads the size from the file-name part of `path`. Returns false when the name has
// no well-formed size. A width too large for a signed 32-bit number raises DataError.
bool ParseRawSize(const std::string& path, std::int32_t& width, std::int32_t& height);

// The bytes of a RAW picture of width x height: the pixels and the mask. A size of 0
// or below, or beyond kMaxRawPixels, raises DataError naming `name`.
std::size_t RawPictureBytes(std::int32_t width, std::int32_t height, const std::string& name);

// Decodes the bytes of a RAW picture of width x height; bytes missing from a short
// file read as 0 (opaque black). The size is checked as by RawPictureBytes.
Bitmap DecodeRawBitmap(std::span<const std::uint8_t> file, std::int32_t width, std::int32_t height,
                       const std::string& name);

// `path` with its file name's size part set to width x height, so that ParseRawSize
// reads exactly that size back, and the extension ".raw". The text between the first
// "(" and the last ")" becomes the size (its "x" or "X" kept); a name without such a
// pair gets "(WxH)" before its extension: icon(16x16).bmp -> icon(20x8).raw,
// icon.bmp -> icon(20x8).raw.
std::string RawNameForSize(const std::string& path, std::int32_t width, std::int32_t height);

// The RAW picture of a non-null bitmap, the exact inverse of the decoder: 8-bit
// channels shifted right (red and blue by 3, green by 2), alpha 0 a mask bit of 1. A
// picture of more than kMaxRawPixels pixels raises DataError naming `name`.
std::vector<std::uint8_t> EncodeRawPicture(const Bitmap& bitmap, const std::string& name);

}  // namespace tavro
