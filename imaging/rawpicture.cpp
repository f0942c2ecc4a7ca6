// The handset's ".raw" picture. No header: the size stands in the file name, as in
// icon(176x220).raw, and n = width x height.
//
//   offset  size                         meaning
//   0       2 x n                        pixels, top row first, rows not padded; each
//                                        16-bit big-endian: bits 11-15 red, 5-10 green,
//                                        0-4 blue
//   2 x n   ceil(n / 8) rounded up even  mask, one bit per pixel in the same order,
//                                        pixel n at bit 7 - (n mod 8) of byte n / 8
//                                        (MSB first, running on across row ends);
//                                        1 = transparent
#include "imaging/rawpicture.h"

#include "imaging/bitmap.h"
#include "imaging/bytes.h"
#include "imaging/errors.h"
#include "imaging/paths.h"

namespace tavro {

namespace {

// ceil(n / 8), rounded up to an even number of bytes.
constexpr std::size_t RawMaskBytes(std::size_t pixels) { return ((pixels + 7) / 8 + 1) / 2 * 2; }
constexpr std::int64_t kInt32Max = 2147483647;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A whole text as a signed 32-bit decimal number (optional sign, at least one digit);
// false for anything else, a number beyond 32 bits included.
bool ParseInt32(const std::string& text, std::int32_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    std::int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i])) return false;
        v = v * 10 + (text[i] - '0');
        if (v > kInt32Max + 1) return false;
    }
    if (negative) v = -v;
    if (v > kInt32Max || v < -kInt32Max - 1) return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

// The byte at `off`, 0 past the end of a short file.
std::uint8_t ByteAt(std::span<const std::uint8_t> file, std::size_t off) {
    return off < file.size() ? file[off] : 0;
}

}  // namespace

bool ParseRawSize(const std::string& path, std::int32_t& width, std::int32_t& height) {
    // Only the file-name part counts: a folder such as "set (2)" must not be mistaken
    // for the size.
    const std::string fileName = FileNamePart(path);
    const std::string name = fileName.substr(0, fileName.size() - ExtensionOf(fileName).size());

    // The first "(" and the last ")", with at least three characters between them.
    const std::size_t open = name.find('(');
    if (open == std::string::npos || open + 1 >= name.size()) return false;
    const std::size_t close = name.rfind(')');
    if (close == std::string::npos || close <= open + 3) return false;
    const std::string text = name.substr(open + 1, close - open - 1);

    // Width: a non-empty run of digits, then "x" or "X", then at least one character.
    std::size_t run = 0;
    while (run < text.size() && IsDigit(text[run])) ++run;
    if (run == 0 || run + 1 >= text.size() || (text[run] != 'x' && text[run] != 'X')) return false;
    std::int32_t w = 0;
    if (!ParseInt32(text.substr(0, run), w)) {
        throw DataError(
            ErrorCause::BeyondLimit, path,
            "the RAW picture width \"" + text.substr(0, run) + "\" in the file name is too large");
    }

    // Height: the rest; text that is not a 32-bit integer gives 0, which callers take
    // as "no usable size".
    std::int32_t h = 0;
    if (!ParseInt32(text.substr(run + 1), h)) h = 0;

    width = w;
    height = h;
    return true;
}

std::size_t RawPictureBytes(std::int32_t width, std::int32_t height, const std::string& name) {
    if (width <= 0 || height <= 0) {
        throw DataError(ErrorCause::BeyondLimit, name,
                        "the RAW picture size " + std::to_string(width) + " x " + std::to_string(height) +
                            " is not valid: width and height must be above 0");
    }
    const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
    if (pixels > kMaxRawPixels) {
        throw DataError(ErrorCause::TooLarge, name,
                        "the RAW picture size " + std::to_string(width) + " x " + std::to_string(height) +
                            " is " + std::to_string(pixels) + " pixels, more than the " +
                            std::to_string(kMaxRawPixels) + " a RAW picture may hold");
    }
    const std::size_t n = static_cast<std::size_t>(pixels);
    return 2 * n + RawMaskBytes(n);
}

Bitmap DecodeRawBitmap(std::span<const std::uint8_t> file, std::int32_t width, std::int32_t height,
                       const std::string& name) {
    RawPictureBytes(width, height, name);
    const std::size_t pixelBytes = 2 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    Bitmap bitmap(width, height);
    std::size_t i = 0;
    for (int y = 0; y < height; ++y) {
        std::uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < width; ++x, ++i) {
            const std::uint32_t v = (ByteAt(file, 2 * i) << 8) | ByteAt(file, 2 * i + 1);
            const std::uint32_t red = ((v >> 11) & 0x1F) << 3;
            const std::uint32_t green = ((v >> 5) & 0x3F) << 2;
            const std::uint32_t blue = (v & 0x1F) << 3;
            const bool transparent = (ByteAt(file, pixelBytes + i / 8) >> (7 - i % 8)) & 1;
            row[x] = PackArgb(transparent ? 0 : 255, red, green, blue);
        }
    }
    return bitmap;
}

std::string RawNameForSize(const std::string& path, std::int32_t width, std::int32_t height) {
    const std::string folder = FolderPart(path);
    const std::string fileName = FileNamePart(path);
    std::string stem = fileName.substr(0, fileName.size() - ExtensionOf(fileName).size());
    const std::size_t open = stem.find('(');
    const std::size_t close = stem.rfind(')');
    char separator = 'x';
    if (open != std::string::npos) {
        std::size_t run = open + 1;
        while (run < stem.size() && IsDigit(stem[run])) ++run;
        if (run > open + 1 && run < stem.size() && stem[run] == 'X') separator = 'X';
    }
    const std::string size = "(" + std::to_string(width) + separator + std::to_string(height) + ")";
    if (open == std::string::npos) {
        stem += size;
    } else if (close == std::string::npos || close < open) {
        stem.replace(open, std::string::npos, size);  // a "(" that nothing closes
    } else {
        stem.replace(open, close - open + 1, size);
    }
    // The prefix before the first "(" holds none, the suffix after the last ")" holds
    // no ")": the size is what ParseRawSize finds.
    return folder + stem + ".raw";
}

std::vector<std::uint8_t> EncodeRawPicture(const Bitmap& bitmap, const std::string& name) {
    const std::int64_t pixels = static_cast<std::int64_t>(bitmap.Width()) * bitmap.Height();
    if (pixels > kMaxRawPixels) {
        throw DataError(ErrorCause::TooLarge, name,
                        "picture of " + std::to_string(bitmap.Width()) + " x " +
                            std::to_string(bitmap.Height()) + " pixels is " + std::to_string(pixels) +
                            " pixels, more than the " + std::to_string(kMaxRawPixels) +
                            " a RAW picture may hold");
    }
    const std::size_t n = static_cast<std::size_t>(pixels);
    const std::size_t pixelBytes = 2 * n;
    std::vector<std::uint8_t> out(pixelBytes + RawMaskBytes(n));
    std::uint8_t* mask = out.data() + pixelBytes;
    std::size_t i = 0;
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < bitmap.Width(); ++x, ++i) {
            const std::uint32_t c = row[x];
            const std::uint32_t v = ((RedOf(c) >> 3) << 11) | ((GreenOf(c) >> 2) << 5) | (BlueOf(c) >> 3);
            out[2 * i] = static_cast<std::uint8_t>(v >> 8);
            out[2 * i + 1] = static_cast<std::uint8_t>(v);
            if (AlphaOf(c) == 0) mask[i / 8] |= static_cast<std::uint8_t>(0x80u >> (i % 8));
        }
    }
    return out;
}

}  // namespace tavro
