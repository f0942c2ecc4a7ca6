#include "imaging/jpegwriter.h"

#include "imaging/bitmap.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageWriter>

#include "imaging/errors.h"

namespace tavro {

namespace {

// The quality of written JPEG files (0 to 100): a small loss for icons.
constexpr int kJpegQuality = 90;

// Every pixel made opaque with its colour kept (converting to an opaque format in Qt
// would blend transparent pixels to black).
QImage Opaque(const Bitmap& bitmap) {
    QImage out(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint32_t* src = bitmap.Row(y);
        auto* dst = reinterpret_cast<std::uint32_t*>(out.scanLine(y));
        for (int x = 0; x < bitmap.Width(); ++x) dst[x] = src[x] | 0xFF000000u;
    }
    return out;
}

}  // namespace

std::vector<std::uint8_t> EncodeJpeg(const Bitmap& bitmap, const std::string& path) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kJpegQuality);
    if (!writer.write(Opaque(bitmap))) {
        throw DataError(ErrorCause::Undecodable, path,
                        "cannot encode the picture as jpeg: " + writer.errorString().toStdString());
    }
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

}  // namespace tavro
