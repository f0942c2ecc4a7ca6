#include "imaging/formats.h"

#include <algorithm>

#include "imaging/errors.h"
#include "imaging/paths.h"

namespace tavro {

const StandardFormat& FormatRow(TTargetFormat format, const std::string& path) {
    if (format >= kStandardFormats.size()) {
        throw DataError(ErrorCause::BeyondLimit, path,
                        "unknown target format " + std::to_string(static_cast<int>(format)));
    }
    return kStandardFormats[format];
}

std::optional<TTargetFormat> FormatOfContent(std::span<const std::uint8_t> bytes) {
    for (const StandardFormat& f : kStandardFormats) {
        if (bytes.size() >= f.signatureSize &&
            std::equal(f.signature.begin(), f.signature.begin() + f.signatureSize, bytes.begin())) {
            return f.format;
        }
    }
    return std::nullopt;
}

std::optional<TTargetFormat> FormatOfMime(const std::string& mime) {
    for (const StandardFormat& f : kStandardFormats) {
        if (mime == f.mime) return f.format;
    }
    return std::nullopt;
}

std::optional<TTargetFormat> FormatOfExtension(const std::string& path) {
    const std::string ext = UpperExtension(path);
    if (ext == ".JPEG") return tfJpeg;  // the one format with two extensions
    for (const StandardFormat& f : kStandardFormats) {
        if (ext == UpperCase(f.extension)) return f.format;
    }
    return std::nullopt;
}

}  // namespace tavro
