// The imaging layer: a 32-bit ARGB bitmap, loading standard pictures and saving
// them through an encoder found by MIME type.
//
// Colour packing: alpha << 24 | red << 16 | green << 8 | blue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <QImage>

namespace tavro {

constexpr std::uint32_t PackArgb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}
constexpr std::uint32_t AlphaOf(std::uint32_t argb) { return argb >> 24; }
constexpr std::uint32_t RedOf(std::uint32_t argb) { return (argb >> 16) & 0xFF; }
constexpr std::uint32_t GreenOf(std::uint32_t argb) { return (argb >> 8) & 0xFF; }
constexpr std::uint32_t BlueOf(std::uint32_t argb) { return argb & 0xFF; }

// A width x height bitmap of straight (not premultiplied) ARGB pixels. A bitmap that
// failed to load has width and height 0.
class Bitmap {
public:
    Bitmap() = default;
    // A blank bitmap, every pixel 0 (transparent black).
    Bitmap(int width, int height);
    explicit Bitmap(QImage image);

    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    bool IsNull() const { return image_.isNull(); }

    // x is the column from the left, y the row from the top; both must be inside.
    std::uint32_t GetPixel(int x, int y) const;
    void SetPixel(int x, int y, std::uint32_t argb);

    // Row y as width packed ARGB values.
    const std::uint32_t* Row(int y) const;
    std::uint32_t* Row(int y);

    const QImage& Image() const { return image_; }

private:
    QImage image_;  // always QImage::Format_ARGB32 when not null
};

// What decoding noticed in a picture that it read as stored.
struct DecodeNotes {
    // A 32-bit BI_RGB BMP whose every alpha byte is 0: read fully transparent (themes
    // hold such placeholders), although some editors write 0 there meaning "no alpha".
    bool everyAlphaZero = false;
};

// Loads a BMP, GIF, PNG or JPEG file, recognised by its content. A file that cannot
// be read or decoded, or has more than kMaxDecodedPixels pixels, gives a null bitmap
// (width and height 0). A 32-bit BI_RGB BMP keeps the fourth byte of its pixels as
// alpha; a BI_BITFIELDS one takes its channels from its masks, alpha only from an
// alpha mask where its header carries one. `notes`, when given, is filled in.
Bitmap LoadBitmap(const std::string& path, DecodeNotes* notes = nullptr);

// Loads the source of a conversion into a handset picture: as LoadBitmap, but a file
// that gives no picture raises DataError naming it (IoError when it cannot be read).
Bitmap LoadPictureSource(const std::string& path, DecodeNotes* notes = nullptr);

// Picture files larger than this are not loaded: they are read whole before decoding,
// and no picture within kMaxDecodedPixels needs more (an uncompressed 32-bit BMP of
// 1024 x 1024 is 4 MiB).
constexpr std::size_t kMaxPictureFileSize = 16u << 20;
// Pictures with more pixels than this are not decoded: a header of a few bytes can
// announce millions of pixels, and decoding them costs memory and seconds. The limit
// is several times the 640 x 480 pixels that the handset formats hold.
constexpr std::int64_t kMaxDecodedPixels = 1024 * 1024;

// The same decoding for bytes already in memory.
Bitmap DecodeBitmap(std::span<const std::uint8_t> bytes, DecodeNotes* notes = nullptr);

// The encoders, by MIME type: "image/bmp", "image/png", "image/gif", "image/jpeg".
// Returns the encoder's index, or -1 when there is none for the MIME type.
int FindEncoderByMime(const std::string& mime);

// The whole file the encoder for `mime` makes of a non-null bitmap; `path` names the
// destination in errors. An unknown MIME type raises std::invalid_argument.
std::vector<std::uint8_t> EncodeBitmap(const Bitmap& bitmap, const std::string& mime, const std::string& path);

// Saves the bitmap with the encoder for `mime`. An unknown MIME type writes nothing
// and reports nothing. A destination that cannot be created or written raises IoError.
void SaveBitmap(const Bitmap& bitmap, const std::string& path, const std::string& mime);

}  // namespace tavro
