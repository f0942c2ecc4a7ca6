// The standard picture formats, in one table: what every part of the program needs to
// know of each (its file extension, MIME type, encoder, command-line word, settings
// label, the decoder's name and the signature its files start with).
//
// `TTargetFormat` is one byte and indexes the table: 0 GIF, 1 PNG, 2 BMP, 3 JPEG.
// `TargetExtensions` and `TargetMimeTypes` are two of its columns.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/bmpfile.h"
#include "imaging/gifwriter.h"
#include "imaging/jpegwriter.h"
#include "imaging/pngwriter.h"

namespace tavro {

enum TTargetFormat : std::uint8_t {
    tfGif = 0,
    tfPng = 1,
    tfBmp = 2,
    tfJpeg = 3,
};

inline constexpr std::size_t kTargetFormatCount = 4;

// The whole file for a non-null bitmap; `path` names the destination in errors.
using PictureEncoder = std::vector<std::uint8_t> (*)(const Bitmap& bitmap, const std::string& path);

struct StandardFormat {
    TTargetFormat format;
    const char* extension;  // with its dot, lower case
    const char* mime;
    const char* word;       // on the command line (--format)
    const char* label;      // in the settings list
    const char* decoder;    // the imaging library's reader
    std::array<std::uint8_t, 4> signature;
    std::size_t signatureSize;  // the leading bytes of `signature` every file starts with
    PictureEncoder encode;
};

// In TTargetFormat order.
inline constexpr std::array<StandardFormat, kTargetFormatCount> kStandardFormats = {{
    {tfGif, ".gif", "image/gif", "gif", "GIF image (.GIF)", "GIF", {'G', 'I', 'F', '8'}, 4, EncodeGif},
    {tfPng, ".png", "image/png", "png", "PNG image (.PNG)", "PNG", {0x89, 'P', 'N', 'G'}, 4, EncodePng},
    {tfBmp, ".bmp", "image/bmp", "bmp", "32-bit bitmap (.BMP)", "BMP", {'B', 'M'}, 2, EncodeBmp32},
    {tfJpeg, ".jpg", "image/jpeg", "jpeg", "JPEG image (.JPG)", "JPEG", {0xFF, 0xD8, 0xFF}, 3, EncodeJpeg},
}};

namespace detail {
template <typename Field>
constexpr std::array<const char*, kTargetFormatCount> Column(Field field) {
    std::array<const char*, kTargetFormatCount> column{};
    for (std::size_t i = 0; i < kTargetFormatCount; ++i) column[i] = kStandardFormats[i].*field;
    return column;
}
}  // namespace detail

inline constexpr std::array<const char*, kTargetFormatCount> TargetExtensions =
    detail::Column(&StandardFormat::extension);
inline constexpr std::array<const char*, kTargetFormatCount> TargetMimeTypes = detail::Column(&StandardFormat::mime);

// The row of a format; a value beyond the table raises DataError naming `path`.
const StandardFormat& FormatRow(TTargetFormat format, const std::string& path);

// The format whose signature the bytes start with; none for anything else.
std::optional<TTargetFormat> FormatOfContent(std::span<const std::uint8_t> bytes);

// The format of a MIME type, compared exactly and case-sensitively.
std::optional<TTargetFormat> FormatOfMime(const std::string& mime);

// The format a file extension names (".bmp", ".PNG", ".gif", ".jpg" or ".jpeg", in any case).
std::optional<TTargetFormat> FormatOfExtension(const std::string& path);

}  // namespace tavro
