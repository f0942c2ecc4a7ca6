// Harness: recognising and decoding a handset picture (.k, .g, .raw) from hostile
// bytes, with a hostile file name for .raw pictures.
//
// Input layout:
//   byte 0       bits 0-1: 0 ".k", 1 ".g", 2 ".raw" with the name below, 3 any name
//                bits 2-3: the target format (gif, png, bmp, jpeg)
//   byte 1       name length L (kinds 2 and 3 only; at most kMaxNameLength)
//   L bytes      the file-name stem (kind 2, ".raw" appended) or whole name (kind 3)
//   rest         the file's content
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz/fuzzsupport.h"
#include "imaging/conversion.h"
#include "imaging/fileio.h"
#include "imaging/paths.h"

namespace {

constexpr std::size_t kMaxNameLength = 120;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavro;
    if (size < 1) return 0;
    static const std::string in = fuzz::ScratchDir() + "in/", out = fuzz::ScratchDir() + "out/";
    fuzz::WarmUpImaging();
    std::filesystem::create_directories(in);
    std::filesystem::create_directories(out);
    const auto target = static_cast<TTargetFormat>((data[0] >> 2) & 3);
    const unsigned kind = data[0] & 3;
    std::size_t pos = 1;
    std::string name = kind == 0 ? "pic.k" : "pic.g";
    if (kind >= 2) {
        const std::size_t len = pos < size ? std::min<std::size_t>({data[pos++], kMaxNameLength, size - pos}) : 0;
        name.assign(reinterpret_cast<const char*>(data + pos), len);
        pos += len;
        if (kind == 2) name += ".raw";
        // A name the harness can create inside its folder: no separator, no NUL, not "." or "..".
        for (char& c : name) c = (c == '/' || c == '\0') ? '_' : c;
        if (name.empty() || name == "." || name == "..") name = "_" + name;
    }
    const std::string source = in + name;
    WriteWholeFile(source, {data + pos, size - pos});

    fuzz::Guarded([&] {
        const TPictureKind detected = DetectPictureKind(source);
        if (detected > pkOther) fuzz::Finding("DetectPictureKind gave kind " + std::to_string(detected));
        std::string dest = out + "pic" + TargetExtensions[target];
        TPictureKind decodedKind = pkOther;
        const bool converted = DecodePicture(source, dest, target, decodedKind);
        if (decodedKind != detected) fuzz::Finding("DecodePicture's kind differs from DetectPictureKind's");
        if (FolderPart(dest) != out) fuzz::Finding("the decoded picture left its folder: " + dest);
        if (!converted && !ListPlainFiles(out).empty()) fuzz::Finding("a failed decode wrote a file");
    });
    std::filesystem::remove_all(out);
    RemoveFile(source);
    return 0;
}
