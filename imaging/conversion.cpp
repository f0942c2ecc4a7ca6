// The single door through which pictures are converted: the kind of a file from its
// extension (and, for ".k", its header and size), then the format module that reads
// or writes it.
#include "imaging/conversion.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "imaging/bitmap.h"
#include "imaging/bytes.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/gimage.h"
#include "imaging/kbitmap.h"
#include "imaging/paths.h"
#include "imaging/rawpicture.h"

namespace tavro {

namespace {

// The header of a .k file. A file shorter than the header leaves the missing
// fields 0: short reads are not errors.
KHeader ReadKHeader(File& file) {
    std::array<std::uint8_t, kKHeaderSize> bytes{};
    file.Read(bytes.data(), bytes.size());
    return ParseKHeader(bytes.data());
}

// The mode that encoding follows: a GIF or PNG is already what a .g holds, so it is
// copied whatever was asked.
std::uint8_t HandsetMode(const std::string& source, std::uint8_t mode) {
    const std::string ext = UpperExtension(source);
    return (ext == ".GIF" || ext == ".PNG") ? std::uint8_t{pkG} : mode;
}

// A conversion never writes over its own source: the result would replace the
// picture it is made from. Compared by file identity, so that another spelling of
// the same path, or a link to it, is caught too.
void RefuseOwnSource(const std::string& source, const std::string& dest) {
    if (SameFile(source, dest)) {
        throw DataError(dest, "is the picture being converted; the result would replace it, so choose "
                              "another name for the result");
    }
}

// The pixels a GIF or PNG declares, read from its header: a GIF's logical screen and
// its first image, a PNG's IHDR. 0 when the header does not say (bytes that merely
// begin like a GIF or PNG).
std::int64_t DeclaredPixels(const std::vector<std::uint8_t>& head) {
    const auto le16 = [&](std::size_t at) { return std::int64_t{head[at]} | (std::int64_t{head[at + 1]} << 8); };
    const auto be32 = [&](std::size_t at) {
        return (std::int64_t{head[at]} << 24) | (head[at + 1] << 16) | (head[at + 2] << 8) | head[at + 3];
    };
    //   PNG: 8-byte signature, IHDR length and type (8), width (4, big-endian), height (4)
    if (head.size() >= 24 && head[0] == 0x89 && head[1] == 'P' && head[2] == 'N' && head[3] == 'G' &&
        head[12] == 'I' && head[13] == 'H' && head[14] == 'D' && head[15] == 'R') {
        return be32(16) * be32(20);
    }
    //   GIF: "GIF8?a", screen width and height (2 + 2, little-endian), flags, 2 bytes,
    //   the global colour table when flagged, then extensions (0x21, label, sub-blocks)
    //   up to the first image descriptor (0x2C, left, top, width, height).
    if (head.size() < 13 || head[0] != 'G' || head[1] != 'I' || head[2] != 'F') return 0;
    std::int64_t width = le16(6);
    std::int64_t height = le16(8);
    std::size_t pos = 13;
    if (head[10] & 0x80) pos += 3u << ((head[10] & 7) + 1);
    while (pos < head.size() && head[pos] == 0x21) {
        pos += 2;
        while (pos < head.size() && head[pos] != 0) pos += head[pos] + 1u;
        ++pos;
    }
    // Bytes that reach no image are no picture, whatever their first bytes announce.
    if (pos + 9 > head.size() || head[pos] != 0x2C) return 0;
    width = std::max(width, le16(pos + 5));
    height = std::max(height, le16(pos + 7));
    return width * height;
}

// A GIF or PNG is copied into a .g as it is, without decoding it: its size is
// measured from its header, and one beyond the limit that decoding keeps is refused,
// as a BMP beyond it is.
void RefuseHugeCopy(const std::string& source) {
    constexpr std::size_t kHeadSize = 4096;  // room for a colour table and a few extensions
    const std::int64_t pixels = DeclaredPixels(ReadFilePrefix(source, kHeadSize));
    if (pixels > kMaxDecodedPixels) {
        throw DataError(source, "the picture has " + std::to_string(pixels) + " pixels, more than " +
                                    std::to_string(kMaxDecodedPixels));
    }
}

std::string MimeFor(TTargetFormat target) {
    if (target >= TargetMimeTypes.size()) {
        throw std::invalid_argument("unknown target format " + std::to_string(static_cast<int>(target)));
    }
    return TargetMimeTypes[target];
}

}  // namespace

TPictureKind DetectPictureKind(const std::string& path) {
    const std::string ext = UpperExtension(path);
    if (ext == ".RAW") return pkRaw;
    if (ext == ".G") return pkG;
    if (ext != ".K") return pkOther;

    File file = File::OpenRead(path);
    const std::uint64_t size = file.Size();
    const KHeader header = ReadKHeader(file);
    file.Close();
    if (header.depth != kDepth18) return pkK32;
    return KHasMask(header, size) ? pkK18Masked : pkK18;
}

bool DecodePicture(const std::string& source, std::string& dest, TTargetFormat target, TPictureKind& kind) {
    kind = DetectPictureKind(source);
    if (kind == pkG) {
        RefuseOwnSource(source, ChangeExtension(dest, GImageExtension(source)));
    } else if (kind != pkOther) {
        RefuseOwnSource(source, dest);
    }
    switch (kind) {
        case pkRaw: {
            std::int32_t width = 0;
            std::int32_t height = 0;
            if (!ParseRawSize(source, width, height) || width == 0 || height == 0) return false;
            ReadRawPicture(source, dest, width, MimeFor(target), height);
            return true;
        }
        case pkK18Masked:
            ReadKBitmap18(source, dest, true, MimeFor(target));
            return true;
        case pkK18:
            ReadKBitmap18(source, dest, false, MimeFor(target));
            return true;
        case pkK32:
            ReadKBitmap32(source, dest, MimeFor(target));
            return true;
        case pkG:
            // The content decides the extension; the target format plays no part.
            ReadGImage(source, dest);
            return true;
        case pkOther:
            break;
    }
    return false;
}

void EncodePicture(const std::string& source, std::uint8_t mode, std::string& dest,
                   const ConversionWarning& warn) {
    DecodeNotes notes;
    // A .g copy is streamed, whatever its size.
    if (HandsetMode(source, mode) == pkG) {
        RefuseOwnSource(source, ChangeExtension(dest, ".g"));
        RefuseHugeCopy(source);
        WriteGImage(source, dest);
    } else {
        if (auto picture = EncodePictureBytes(source, mode, dest, 0, &notes)) {
            RefuseOwnSource(source, dest);
            WriteWholeFile(dest, picture->bytes);
        }
    }
    if (notes.everyAlphaZero && warn) warn(source, kEveryPixelTransparent);
}

std::optional<EncodedPicture> EncodePictureBytes(const std::string& source, std::uint8_t mode, std::string& dest,
                                                 std::size_t copyLimit, DecodeNotes* notes) {
    EncodedPicture picture;
    switch (HandsetMode(source, mode)) {
        case pkRaw:
            picture.bytes = EncodeRawPicture(source, dest, notes);
            break;
        case pkK18Masked:
        case pkK18:
            dest = ChangeExtension(dest, ".k");
            picture.bytes = EncodeKBitmap18(source, mode == pkK18Masked, notes);
            break;
        case pkK32:
            dest = ChangeExtension(dest, ".k");
            picture.bytes = EncodeKBitmap32(source, notes);
            break;
        case pkG:
            RefuseHugeCopy(source);
            picture.bytes = GImageBytes(source, dest, copyLimit, picture.size);
            return picture;
        default:
            // pkOther and values beyond the kinds: there is no writer.
            return std::nullopt;
    }
    picture.size = picture.bytes.size();
    return picture;
}

Bitmap DecodeToBitmap(const std::string& source) {
    try {
        switch (DetectPictureKind(source)) {
            case pkRaw: {
                std::int32_t width = 0;
                std::int32_t height = 0;
                if (!ParseRawSize(source, width, height) || width == 0 || height == 0) return Bitmap();
                return DecodeRawBitmap(source, width, height);
            }
            case pkK18Masked:
                return DecodeKBitmap18(source, true);
            case pkK18:
                return DecodeKBitmap18(source, false);
            case pkK32:
                return DecodeKBitmap32(source);
            case pkG:
                return DecodeBitmap(ReadWholeFile(source, kMaxPictureFileSize));
            case pkOther:
                break;
        }
    } catch (const DataError&) {
        // A damaged picture is a picture that does not decode.
    }
    return Bitmap();
}

bool PictureDecodes(const std::string& source) {
    return DetectPictureKind(source) == pkG || !DecodeToBitmap(source).IsNull();
}

std::string PictureTypeWord(TPictureKind kind, TTargetFormat format) {
    switch (kind) {
        case pkK18Masked:
            return "18-bit BMP";
        case pkK32:
            return "32-bit BMP";
        default:
            return format == tfGif ? "GIF" : "PNG";
    }
}

std::string KindName(std::uint8_t kind) {
    switch (kind) {
        case pkRaw:
            return "pkRaw";
        case pkK18Masked:
            return "pkK18Masked";
        case pkK18:
            return "pkK18";
        case pkK32:
            return "pkK32";
        case pkG:
            return "pkG";
        case pkOther:
            return "pkOther";
        default:
            return "kind " + std::to_string(kind);
    }
}

}  // namespace tavro
