// The single door through which pictures are converted: the kind of a file from its
// extension (and, for ".k", its header and size), then the format module that decodes
// or encodes it in memory. Only this door (with LoadBitmap and SaveBitmap for standard
// pictures) opens and writes picture files.
#include "imaging/conversion.h"

#include <algorithm>
#include <array>

#include "imaging/bitmap.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/gimage.h"
#include "imaging/kbitmap.h"
#include "imaging/paths.h"
#include "imaging/rawpicture.h"
#include "imaging/standard.h"

namespace tavro {

namespace {

// The kind by extension, and for a .k by its header and its file's size.
TPictureKind KindOf(const std::string& name, std::span<const std::uint8_t> header, std::uint64_t size) {
    const std::string ext = UpperExtension(name);
    if (ext == ".RAW") return pkRaw;
    if (ext == ".G") return pkG;
    if (ext != ".K") return pkOther;
    const KHeader h = ParseKHeader(header);
    if (h.depth != kDepth18) return pkK32;
    return KHasMask(h, size) ? pkK18Masked : pkK18;
}

// The size in a .raw name when it is usable: both sides not 0.
bool UsableRawSize(const std::string& name, std::int32_t& width, std::int32_t& height) {
    return ParseRawSize(name, width, height) && width != 0 && height != 0;
}

// The start of a file, at most `limit` bytes of it; short reads are not errors.
std::vector<std::uint8_t> ReadUpTo(const std::string& path, std::uint64_t limit, std::uint64_t* size = nullptr) {
    File in = File::OpenRead(path);
    const std::uint64_t total = in.Size();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min(total, limit)));
    bytes.resize(in.Read(bytes.data(), bytes.size()));
    in.Close();
    if (size != nullptr) *size = bytes.size() < limit ? bytes.size() : total;  // a file that shrank while read
    return bytes;
}

// The bytes of a handset picture file that its decoder reads. A .raw picture's size
// is checked before the file is opened.
std::vector<std::uint8_t> ReadHandsetPicture(const std::string& path, TPictureKind kind) {
    std::uint64_t limit = kMaxPictureFileSize + 1;  // .g: one byte more tells a file over the limit
    std::int32_t width = 0, height = 0;
    if (kind == pkRaw && UsableRawSize(path, width, height)) limit = RawPictureBytes(width, height, path);
    if (kind == pkK18Masked || kind == pkK18 || kind == pkK32) limit = kKMaxReadSize;
    return ReadUpTo(path, limit);
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
        throw DataError(ErrorCause::Refused, dest,
                        "is the picture being converted; the result would replace it, so choose "
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
        throw DataError(ErrorCause::TooLarge, source,
                        "the picture has " + std::to_string(pixels) + " pixels, more than " +
                            std::to_string(kMaxDecodedPixels));
    }
}

// A .g file's picture is its content. The new name reaches the caller before the
// copy, as a failed copy raises IoError: the caller then knows that nothing usable
// stands under that name.
void CopyGImage(const std::string& source, std::string& dest, const std::string& extension) {
    dest = ChangeExtension(dest, extension);
    CopyFileReplacing(source, dest);
}

// The handset picture of a loaded source, in memory: `dest` gets the name it is
// written under (for .k before encoding, for .raw after).
std::vector<std::uint8_t> EncodeHandsetPicture(const std::string& source, std::uint8_t mode, std::string& dest,
                                               DecodeNotes* notes) {
    if (mode == pkK18Masked || mode == pkK18 || mode == pkK32) dest = ChangeExtension(dest, ".k");
    const Bitmap bitmap = LoadPictureSource(source, notes);
    if (mode == pkK32) return EncodeKBitmap32(bitmap, source);
    if (mode != pkRaw) return EncodeKBitmap18(bitmap, mode == pkK18Masked, source);
    std::vector<std::uint8_t> bytes = EncodeRawPicture(bitmap, source);
    dest = RawNameForSize(dest, bitmap.Width(), bitmap.Height());
    return bytes;
}

bool HasWriter(std::uint8_t mode) { return mode <= pkG; }

}  // namespace

TPictureKind DetectPictureKind(const std::string& path) {
    const std::string ext = UpperExtension(path);
    if (ext != ".K") return KindOf(path, {}, 0);
    std::uint64_t size = 0;
    const std::vector<std::uint8_t> header = ReadUpTo(path, kKHeaderSize, &size);
    return KindOf(path, header, size);
}

TPictureKind PictureKindOf(const std::string& name, std::span<const std::uint8_t> bytes) {
    return KindOf(name, bytes, bytes.size());
}

Bitmap DecodeHandsetPicture(const std::string& name, TPictureKind kind, std::span<const std::uint8_t> bytes) {
    std::int32_t width = 0, height = 0;
    switch (kind) {
        case pkRaw:
            if (!UsableRawSize(name, width, height)) return Bitmap();
            return DecodeRawBitmap(bytes, width, height, name);
        case pkK18Masked:
        case pkK18:
            return DecodeKBitmap18(bytes, kind == pkK18Masked, name);
        case pkK32:
            return DecodeKBitmap32(bytes, name);
        case pkG:
            return DecodeBitmap(bytes);
        default:
            return Bitmap();
    }
}

bool DecodePicture(const std::string& source, std::string& dest, TTargetFormat target, TPictureKind& kind) {
    kind = DetectPictureKind(source);
    std::int32_t width = 0, height = 0;
    if (kind == pkOther || (kind == pkRaw && !UsableRawSize(source, width, height))) return false;
    if (kind == pkG) {
        // The content decides the extension; the target format plays no part.
        const std::string extension = GImageExtension(ReadUpTo(source, kGSignatureSize));
        RefuseOwnSource(source, ChangeExtension(dest, extension));
        CopyGImage(source, dest, extension);
        return true;
    }
    const std::string mime = FormatRow(target, source).mime;
    RefuseOwnSource(source, dest);
    SaveBitmap(DecodeHandsetPicture(source, kind, ReadHandsetPicture(source, kind)), dest, mime);
    return true;
}

void EncodePicture(const std::string& source, std::uint8_t mode, std::string& dest,
                   const ConversionWarning& warn) {
    DecodeNotes notes;
    mode = HandsetMode(source, mode);
    if (mode == pkG) {
        RefuseOwnSource(source, ChangeExtension(dest, ".g"));
        RefuseHugeCopy(source);
        CopyGImage(source, dest, ".g");  // streamed, whatever its size
    } else if (HasWriter(mode)) {
        const std::vector<std::uint8_t> bytes = EncodeHandsetPicture(source, mode, dest, &notes);
        RefuseOwnSource(source, dest);
        WriteWholeFile(dest, bytes);
    }
    if (notes.everyAlphaZero && warn) warn(source, kEveryPixelTransparent);
}

std::optional<EncodedPicture> EncodePictureBytes(const std::string& source, std::uint8_t mode, std::string& dest,
                                                 std::size_t copyLimit, DecodeNotes* notes) {
    mode = HandsetMode(source, mode);
    if (!HasWriter(mode)) return std::nullopt;  // pkOther and values beyond the kinds
    EncodedPicture picture;
    if (mode == pkG) {
        RefuseHugeCopy(source);
        dest = ChangeExtension(dest, ".g");
        picture.bytes = ReadUpTo(source, copyLimit, &picture.size);
        return picture;
    }
    picture.bytes = EncodeHandsetPicture(source, mode, dest, notes);
    picture.size = picture.bytes.size();
    return picture;
}

Bitmap DecodeToBitmap(const std::string& source) {
    try {
        const TPictureKind kind = DetectPictureKind(source);
        std::int32_t width = 0, height = 0;
        if (kind == pkOther || (kind == pkRaw && !UsableRawSize(source, width, height))) return Bitmap();
        return DecodeHandsetPicture(source, kind, ReadHandsetPicture(source, kind));
    } catch (const DataError&) {
        // A damaged picture is a picture that does not decode.
    }
    return Bitmap();
}

bool PictureDecodes(const std::string& source) {
    return DetectPictureKind(source) == pkG || !DecodeToBitmap(source).IsNull();
}

PictureMeasure MeasurePicture(const std::string& path) {
    PictureMeasure m;
    m.kind = DetectPictureKind(path);
    std::int32_t width = 0, height = 0;
    if (m.kind == pkRaw && !UsableRawSize(path, width, height)) return m;
    const Bitmap bitmap = m.kind == pkOther ? LoadBitmap(path)
                                            : DecodeHandsetPicture(path, m.kind, ReadHandsetPicture(path, m.kind));
    m.sized = !bitmap.IsNull();
    m.width = bitmap.Width();
    m.height = bitmap.Height();
    return m;
}

PictureMeasure MeasurePicture(const std::string& name, std::span<const std::uint8_t> bytes) {
    PictureMeasure m;
    m.kind = PictureKindOf(name, bytes);
    const Bitmap bitmap = m.kind == pkOther ? DecodeBitmap(bytes) : DecodeHandsetPicture(name, m.kind, bytes);
    m.sized = !bitmap.IsNull();
    m.width = bitmap.Width();
    m.height = bitmap.Height();
    return m;
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
    static constexpr std::array<const char*, 6> kNames = {"pkRaw", "pkK18Masked", "pkK18", "pkK32", "pkG", "pkOther"};
    if (kind < kNames.size()) return kNames[kind];
    return "kind " + std::to_string(kind);
}

}  // namespace tavro
