// The handset's ".g" image. It has no layout of its own: the file is a whole GIF or
// PNG file, byte for byte.
//
//   offset  size  meaning
//   0       4     "GIF8" (GIF87a, GIF89a) or 89 50 4E 47 (PNG); anything else,
//                 or a file shorter than 4 bytes, is unknown content
//   0       all   the picture file itself, never re-encoded
#include "imaging/gimage.h"

#include <algorithm>

#include "imaging/formats.h"

namespace tavro {

std::string GImageExtension(std::span<const std::uint8_t> head) {
    const std::optional<TTargetFormat> format = FormatOfContent(head.first(std::min(head.size(), kGSignatureSize)));
    if (format == tfGif || format == tfPng) return kStandardFormats[*format].extension;
    return ".unk";
}

}  // namespace tavro
