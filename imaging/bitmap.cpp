#include "imaging/bitmap.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "imaging/bmpfile.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/gifwriter.h"
#include "imaging/pngwriter.h"

namespace tavro {

namespace {

// The quality of written JPEG files (0 to 100): a small loss for icons.
constexpr int kJpegQuality = 90;

enum class Encoder { Bmp, Jpeg, Gif, Png };

struct EncoderInfo {
    const char* mime;
    Encoder encoder;
};

constexpr std::array<EncoderInfo, 4> kEncoders = {{
    {"image/bmp", Encoder::Bmp},
    {"image/jpeg", Encoder::Jpeg},
    {"image/gif", Encoder::Gif},
    {"image/png", Encoder::Png},
}};

// The decoder for the bytes, by their signature; nullptr for anything else.
const char* FormatOf(std::span<const std::uint8_t> b) {
    static constexpr std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M') return "BMP";
    if (b.size() >= 4 && std::memcmp(b.data(), "GIF8", 4) == 0) return "GIF";
    if (b.size() >= sizeof kPng && std::memcmp(b.data(), kPng, sizeof kPng) == 0) return "PNG";
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return "JPEG";
    return nullptr;
}

std::vector<std::uint8_t> EncodeWithQt(const QImage& image, const char* format, int quality,
                                       const std::string& path) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image)) {
        throw DataError(path, std::string("cannot encode the picture as ") + format + ": " +
                                  writer.errorString().toStdString());
    }
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

// JPEG has no alpha: the colours are kept as they are and every pixel made opaque
// (converting to an opaque format in Qt would blend transparent pixels to black).
QImage Opaque(const Bitmap& bitmap) {
    QImage out(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint32_t* src = bitmap.Row(y);
        auto* dst = reinterpret_cast<std::uint32_t*>(out.scanLine(y));
        for (int x = 0; x < bitmap.Width(); ++x) dst[x] = src[x] | 0xFF000000u;
    }
    return out;
}

bool EveryPixelTransparent(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (AlphaOf(line[x]) != 0) return false;
        }
    }
    return true;
}

}  // namespace

Bitmap::Bitmap(int width, int height) {
    if (width <= 0 || height <= 0) return;
    image_ = QImage(width, height, QImage::Format_ARGB32);
    if (!image_.isNull()) image_.fill(0u);
}

Bitmap::Bitmap(QImage image) {
    if (!image.isNull()) image_ = image.convertToFormat(QImage::Format_ARGB32);
}

std::uint32_t Bitmap::GetPixel(int x, int y) const { return Row(y)[x]; }

void Bitmap::SetPixel(int x, int y, std::uint32_t argb) { Row(y)[x] = argb; }

// Format_ARGB32 keeps each pixel as one native 32-bit value 0xAARRGGBB, which is
// exactly the packed colour.
const std::uint32_t* Bitmap::Row(int y) const {
    return reinterpret_cast<const std::uint32_t*>(image_.constScanLine(y));
}

std::uint32_t* Bitmap::Row(int y) { return reinterpret_cast<std::uint32_t*>(image_.scanLine(y)); }

Bitmap DecodeBitmap(std::span<const std::uint8_t> bytes, DecodeNotes* notes) {
    if (notes != nullptr) *notes = DecodeNotes{};
    const char* format = FormatOf(bytes);
    if (format == nullptr || bytes.size() > kMaxPictureFileSize) return Bitmap();
    const QByteArray view = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<qsizetype>(bytes.size()));
    QBuffer buffer;
    buffer.setData(view);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // The size from the header, before any pixel is decoded. A top-down BMP reports a
    // negative height; a decoder that cannot tell (-1 x -1) is left to Qt's own limit.
    const QSize size = reader.size();
    if (std::abs(static_cast<std::int64_t>(size.width())) * std::abs(static_cast<std::int64_t>(size.height())) >
        kMaxDecodedPixels) {
        return Bitmap();
    }
    // A GIF decodes to the size of its logical screen (bytes 6 to 9), which the
    // reader's size does not report: a frame of 1 x 1 can stand on a screen of
    // 65535 x 65535. A screen side of 0 takes the frame's, so the larger of the two
    // counts on each side.
    if (std::strcmp(format, "GIF") == 0 && bytes.size() >= 10) {
        const std::int64_t width = std::max<std::int64_t>(bytes[6] | (bytes[7] << 8), std::abs(size.width()));
        const std::int64_t height = std::max<std::int64_t>(bytes[8] | (bytes[9] << 8), std::abs(size.height()));
        if (width * height > kMaxDecodedPixels) return Bitmap();
    }
    QImage image = reader.read();
    if (image.isNull()) return Bitmap();
    const bool decodedAlpha = image.hasAlphaChannel();
    image = image.convertToFormat(QImage::Format_ARGB32);
    // Qt reads a 32-bit BI_RGB bitmap as opaque; the fourth byte of its pixels is the
    // alpha we write. Qt honours the masks of a BI_BITFIELDS one, its alpha mask too.
    if (std::strcmp(format, "BMP") == 0 && !decodedAlpha && ApplyBmp32Alpha(bytes, image) && notes != nullptr) {
        notes->everyAlphaZero = EveryPixelTransparent(image);
    }
    return Bitmap(std::move(image));
}

Bitmap LoadPictureSource(const std::string& path, DecodeNotes* notes) {
    Bitmap bitmap = DecodeBitmap(ReadWholeFile(path, kMaxPictureFileSize), notes);
    if (bitmap.IsNull()) {
        throw DataError(path, "cannot be loaded: not a BMP, GIF, PNG or JPEG picture, damaged, or more than " +
                                  std::to_string(kMaxDecodedPixels) + " pixels");
    }
    return bitmap;
}

Bitmap LoadBitmap(const std::string& path, DecodeNotes* notes) {
    if (notes != nullptr) *notes = DecodeNotes{};
    std::vector<std::uint8_t> bytes;
    try {
        bytes = ReadWholeFile(path, kMaxPictureFileSize);
    } catch (const IoError&) {
        return Bitmap();
    } catch (const DataError&) {
        return Bitmap();
    }
    return DecodeBitmap(bytes, notes);
}

int FindEncoderByMime(const std::string& mime) {
    // Exact, case-sensitive comparison; the last match would win, but MIME types are unique.
    int found = -1;
    for (std::size_t i = 0; i < kEncoders.size(); ++i) {
        if (mime == kEncoders[i].mime) found = static_cast<int>(i);
    }
    return found;
}

std::vector<std::uint8_t> EncodeBitmap(const Bitmap& bitmap, const std::string& mime, const std::string& path) {
    const int index = FindEncoderByMime(mime);
    if (index < 0) throw std::invalid_argument("no encoder for " + mime);
    switch (kEncoders[static_cast<std::size_t>(index)].encoder) {
        case Encoder::Bmp:
            return EncodeBmp32(bitmap, path);
        case Encoder::Png:
            return EncodePng(bitmap, path);
        case Encoder::Jpeg:
            return EncodeWithQt(Opaque(bitmap), "jpeg", kJpegQuality, path);
        case Encoder::Gif:
            return EncodeGif(bitmap, path);
    }
    return {};
}

void SaveBitmap(const Bitmap& bitmap, const std::string& path, const std::string& mime) {
    if (FindEncoderByMime(mime) < 0) return;
    if (bitmap.IsNull()) throw DataError(path, "there is no picture to save (0 x 0 pixels)");
    WriteWholeFile(path, EncodeBitmap(bitmap, mime, path));
}

}  // namespace tavro
