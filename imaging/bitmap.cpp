#include "imaging/bitmap.h"

namespace tavro {

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

}  // namespace tavro
