// The single door through which pictures are converted: the kind of a file from its
// extension (and, for ".k", its header and size), then the format module that reads
// or writes it.
#include "imaging/conversion.h"

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
        WriteGImage(source, dest);
    } else if (auto picture = EncodePictureBytes(source, mode, dest, 0, &notes)) {
        WriteWholeFile(dest, picture->bytes);
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
