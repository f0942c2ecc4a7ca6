// GIF encoding of a bitmap (GIF89a, one image, one global palette).
//
// GIF keeps one bit of transparency: a pixel of alpha below kGifOpaqueAlpha is stored
// on the transparent palette index, every other pixel as its red, green and blue. A
// picture whose visible pixels use few enough colours to share the palette with the
// transparent entry keeps those colours exactly; one with more colours is quantized.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

class Bitmap;  // imaging/bitmap.h

// With transparent pixels, at most this many visible colours are written exactly
// (the transparent entry takes the last place); without, the whole palette.
constexpr int kGifMaxExactColours = 255;
constexpr int kGifPaletteSize = 256;
// The alpha from which a pixel is written opaque. Half way is where showing a soft
// edge's pixel opaque, in its own colour, errs less over any background than
// leaving it out.
constexpr std::uint32_t kGifOpaqueAlpha = 128;
// GIF sizes are 16-bit fields.
constexpr int kGifMaxSide = 65535;

// The whole GIF file for a non-null bitmap. `path` names the destination in the
// DataError raised for a picture GIF cannot hold.
std::vector<std::uint8_t> EncodeGif(const Bitmap& bitmap, const std::string& path);

}  // namespace tavro
