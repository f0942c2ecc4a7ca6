// The picture every codec reads into and writes from: a 32-bit ARGB bitmap.
//
// Colour packing: alpha << 24 | red << 16 | green << 8 | blue.
#pragma once

#include <cstdint>

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

}  // namespace tavro
