// The handset's ".raw" picture: 16-bit big-endian pixels (5-6-5) followed by a mask
// of one bit per pixel (MSB first, running on across rows, 1 = transparent); the
// size stands in the file name, as in icon(176x220).raw.
#pragma once

#include <cstdint>
#include <string>

namespace tavro {

// The largest picture the handset's raw reader takes, in pixels.
constexpr std::int64_t kMaxRawPixels = 38721;

// Reads the size from the file-name part of `path`. Returns false when the name has
// no well-formed size. A width too large for a signed 32-bit number raises DataError.
bool ParseRawSize(const std::string& path, std::int32_t& width, std::int32_t& height);

// Reads the RAW picture and saves it as a standard picture with the encoder for
// `mime`. A size of 0 or below, or beyond kMaxRawPixels, raises DataError.
void ReadRawPicture(const std::string& source, const std::string& dest, std::int32_t width,
                    const std::string& mime, std::int32_t height);

}  // namespace tavro
