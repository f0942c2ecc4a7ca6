// The handset's ".raw" picture: 16-bit big-endian pixels (5-6-5) followed by a mask
// of one bit per pixel (MSB first, running on across rows, 1 = transparent); the
// size stands in the file name, as in icon(176x220).raw. Read and written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

class Bitmap;  // imaging/bitmap.h
struct DecodeNotes;

// The largest picture the handset's raw reader takes, in pixels.
constexpr std::int64_t kMaxRawPixels = 38721;

// Reads the size from the file-name part of `path`. Returns false when the name has
// no well-formed size. A width too large for a signed 32-bit number raises DataError.
bool ParseRawSize(const std::string& path, std::int32_t& width, std::int32_t& height);

// Reads the RAW picture into a bitmap. A size of 0 or below, or beyond kMaxRawPixels,
// raises DataError before the file is opened.
Bitmap DecodeRawBitmap(const std::string& source, std::int32_t width, std::int32_t height);

// Reads the RAW picture and saves it as a standard picture with the encoder for
// `mime`. A size of 0 or below, or beyond kMaxRawPixels, raises DataError.
void ReadRawPicture(const std::string& source, const std::string& dest, std::int32_t width,
                    const std::string& mime, std::int32_t height);

// `path` with its file name's size part set to width x height, so that ParseRawSize
// reads exactly that size back, and the extension ".raw". The text between the first
// "(" and the last ")" becomes the size (its "x" or "X" kept); a name without such a
// pair gets "(WxH)" before its extension: icon(16x16).bmp -> icon(20x8).raw,
// icon.bmp -> icon(20x8).raw.
std::string RawNameForSize(const std::string& path, std::int32_t width, std::int32_t height);

// Loads any picture the imaging layer can load and writes it as a RAW picture, the
// exact inverse of the reader: 8-bit channels shifted right (red and blue by 3, green
// by 2), alpha 0 a mask bit of 1. `dest` becomes RawNameForSize of it before anything
// is written. A source that cannot be loaded, or has more than kMaxRawPixels pixels,
// raises DataError and writes nothing. `notes` receives what loading noticed.
void WriteRawPicture(const std::string& source, std::string& dest, DecodeNotes* notes = nullptr);
// The same without writing: dest renamed, the file's bytes.
std::vector<std::uint8_t> EncodeRawPicture(const std::string& source, std::string& dest,
                                           DecodeNotes* notes = nullptr);

}  // namespace tavro
