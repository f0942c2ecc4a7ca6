// Harness: recognising and decoding a handset picture (.k, .g, .raw) from hostile
// bytes in memory, with a hostile file name for .raw pictures, and encoding what
// decodes into the target format.
//
// Input layout:
//   byte 0       bits 0-1: 0 ".k", 1 ".g", 2 ".raw" with the name below, 3 any name
//                bits 2-3: the target format (gif, png, bmp, jpeg)
//   byte 1       name length L (kinds 2 and 3 only; at most kMaxNameLength)
//   L bytes      the file-name stem (kind 2, ".raw" appended) or whole name (kind 3)
//   rest         the file's content
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz/fuzzsupport.h"
#include "imaging/bitmap.h"
#include "imaging/conversion.h"
#include "imaging/paths.h"
#include "imaging/rawpicture.h"
#include "imaging/standard.h"

namespace {

constexpr std::size_t kMaxNameLength = 120;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavro;
    if (size < 1) return 0;
    fuzz::WarmUpImaging();
    const auto target = static_cast<TTargetFormat>((data[0] >> 2) & 3);
    const unsigned kind = data[0] & 3;
    std::size_t pos = 1;
    std::string name = kind == 0 ? "pic.k" : "pic.g";
    if (kind >= 2) {
        const std::size_t len = pos < size ? std::min<std::size_t>({data[pos++], kMaxNameLength, size - pos}) : 0;
        name.assign(reinterpret_cast<const char*>(data + pos), len);
        pos += len;
        if (kind == 2) name += ".raw";
    }
    const std::span<const std::uint8_t> bytes(data + pos, size - pos);

    fuzz::Guarded([&] {
        const TPictureKind detected = PictureKindOf(name, bytes);
        if (detected > pkOther) fuzz::Finding("PictureKindOf gave kind " + std::to_string(detected));
        const Bitmap b = DecodeHandsetPicture(name, detected, bytes);
        if (b.IsNull()) return;
        EncodeBitmap(b, TargetMimeTypes[target], name);
        // A .raw name made for a size gives that size back.
        std::int32_t width = 0, height = 0;
        const std::string raw = RawNameForSize(name, b.Width(), b.Height());
        if (!ParseRawSize(raw, width, height) || width != b.Width() || height != b.Height())
            fuzz::Finding("the size name " + raw + " does not give its size back");
        if (FolderPart(raw) != FolderPart(name)) fuzz::Finding("the size name left its folder: " + raw);
    });
    return 0;
}
