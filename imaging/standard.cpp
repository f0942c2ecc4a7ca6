#include "imaging/standard.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <algorithm>
#include <cstdlib>

#include "imaging/bmpfile.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/formats.h"

namespace tavro {

namespace {

bool EveryPixelTransparent(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (AlphaOf(line[x]) != 0) return false;
        }
    }
    return true;
}

// Whether the picture's size, from its header before any pixel is decoded, is within
// kMaxDecodedPixels. A top-down BMP reports a negative height; a decoder that cannot
// tell (-1 x -1) is left to Qt's own limit.
bool SizeWithinLimit(QImageReader& reader, TTargetFormat format, std::span<const std::uint8_t> bytes) {
    const QSize size = reader.size();
    const std::int64_t width = std::abs(static_cast<std::int64_t>(size.width()));
    const std::int64_t height = std::abs(static_cast<std::int64_t>(size.height()));
    if (width * height > kMaxDecodedPixels) return false;
    // A GIF decodes to the size of its logical screen (bytes 6 to 9), which the
    // reader's size does not report: a frame of 1 x 1 can stand on a screen of
    // 65535 x 65535. A screen side of 0 takes the frame's, so the larger of the two
    // counts on each side.
    if (format == tfGif && bytes.size() >= 10) {
        const std::int64_t screenWidth = std::max<std::int64_t>(bytes[6] | (bytes[7] << 8), width);
        const std::int64_t screenHeight = std::max<std::int64_t>(bytes[8] | (bytes[9] << 8), height);
        if (screenWidth * screenHeight > kMaxDecodedPixels) return false;
    }
    return true;
}

}  // namespace

Bitmap DecodeBitmap(std::span<const std::uint8_t> bytes, DecodeNotes* notes) {
    if (notes != nullptr) *notes = DecodeNotes{};
    const std::optional<TTargetFormat> format = FormatOfContent(bytes);
    if (!format || bytes.size() > kMaxPictureFileSize) return Bitmap();
    const QByteArray view = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<qsizetype>(bytes.size()));
    QBuffer buffer;
    buffer.setData(view);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, kStandardFormats[*format].decoder);
    if (!SizeWithinLimit(reader, *format, bytes)) return Bitmap();
    QImage image = reader.read();
    if (image.isNull()) return Bitmap();
    const bool decodedAlpha = image.hasAlphaChannel();
    image = image.convertToFormat(QImage::Format_ARGB32);
    // Qt reads a 32-bit BI_RGB bitmap as opaque; the fourth byte of its pixels is the
    // alpha we write. Qt honours the masks of a BI_BITFIELDS one, its alpha mask too.
    if (*format == tfBmp && !decodedAlpha && ApplyBmp32Alpha(bytes, image) && notes != nullptr) {
        notes->everyAlphaZero = EveryPixelTransparent(image);
    }
    return Bitmap(std::move(image));
}

Bitmap LoadPictureSource(const std::string& path, DecodeNotes* notes) {
    Bitmap bitmap = DecodeBitmap(ReadWholeFile(path, kMaxPictureFileSize), notes);
    if (bitmap.IsNull()) {
        throw DataError(ErrorCause::Undecodable, path,
                        "cannot be loaded: not a BMP, GIF, PNG or JPEG picture, damaged, or more than " +
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
    const std::optional<TTargetFormat> format = FormatOfMime(mime);
    return format ? static_cast<int>(*format) : -1;
}

std::vector<std::uint8_t> EncodeBitmap(const Bitmap& bitmap, const std::string& mime, const std::string& path) {
    const std::optional<TTargetFormat> format = FormatOfMime(mime);
    if (!format) throw DataError(ErrorCause::BeyondLimit, path, "no encoder for " + mime);
    return kStandardFormats[*format].encode(bitmap, path);
}

void SaveBitmap(const Bitmap& bitmap, const std::string& path, const std::string& mime) {
    if (!FormatOfMime(mime)) return;
    if (bitmap.IsNull())
        throw DataError(ErrorCause::Undecodable, path, "there is no picture to save (0 x 0 pixels)");
    WriteWholeFile(path, EncodeBitmap(bitmap, mime, path));
}

}  // namespace tavro
