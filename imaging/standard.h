// Standard pictures (BMP, GIF, PNG, JPEG): decoded from bytes, loaded from files
// recognised by their content, and encoded and saved by MIME type through the
// format table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/bitmap.h"

namespace tavro {

// What decoding noticed in a picture that it read as stored.
struct DecodeNotes {
    // A 32-bit BI_RGB BMP whose every alpha byte is 0: read fully transparent (themes
    // hold such placeholders), although some editors write 0 there meaning "no alpha".
    bool everyAlphaZero = false;
};

// Picture files larger than this are not loaded: they are read whole before decoding,
// and no picture within kMaxDecodedPixels needs more (an uncompressed 32-bit BMP of
// 1024 x 1024 is 4 MiB).
constexpr std::size_t kMaxPictureFileSize = 16u << 20;
// Pictures with more pixels than this are not decoded: a header of a few bytes can
// announce millions of pixels, and decoding them costs memory and seconds. The limit
// is several times the 640 x 480 pixels that the handset formats hold.
constexpr std::int64_t kMaxDecodedPixels = 1024 * 1024;

// Decodes a BMP, GIF, PNG or JPEG picture, recognised by its content. Bytes that are
// none of these, do not decode, are more than kMaxPictureFileSize or announce more
// than kMaxDecodedPixels pixels give a null bitmap (width and height 0). A 32-bit
// BI_RGB BMP keeps the fourth byte of its pixels as alpha; a BI_BITFIELDS one takes
// its channels from its masks, alpha only from an alpha mask where its header carries
// one. `notes`, when given, is filled in.
Bitmap DecodeBitmap(std::span<const std::uint8_t> bytes, DecodeNotes* notes = nullptr);

// The same for a file. A file that cannot be read also gives a null bitmap.
Bitmap LoadBitmap(const std::string& path, DecodeNotes* notes = nullptr);

// Loads the source of a conversion into a handset picture: as LoadBitmap, but a file
// that gives no picture raises DataError naming it (IoError when it cannot be read).
Bitmap LoadPictureSource(const std::string& path, DecodeNotes* notes = nullptr);

// The encoders, by MIME type: "image/bmp", "image/png", "image/gif", "image/jpeg".
// Returns the encoder's index, or -1 when there is none for the MIME type.
int FindEncoderByMime(const std::string& mime);

// The whole file the encoder for `mime` makes of a non-null bitmap; `path` names the
// destination in errors. An unknown MIME type raises DataError.
std::vector<std::uint8_t> EncodeBitmap(const Bitmap& bitmap, const std::string& mime, const std::string& path);

// Saves the bitmap with the encoder for `mime`. An unknown MIME type writes nothing
// and reports nothing. A destination that cannot be created or written raises IoError.
void SaveBitmap(const Bitmap& bitmap, const std::string& path, const std::string& mime);

}  // namespace tavro
