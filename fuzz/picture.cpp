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
#include <string>

#include "fuzz/fuzzsupport.h"
#include "imaging/conversion.h"
#include "imaging/fileio.h"
#include "imaging/paths.h"

namespace {

constexpr std::size_t kMaxNameLength = 120;

// A name the harness can create inside its folder: no separator, no NUL, not "." or "..".
std::string UsableName(std::string name) {
    for (char& c : name)
        if (c == '/' || c == '\0') c = '_';
    if (name.empty() || name == "." || name == "..") name = "_" + name;
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavro;
    if (size < 1) return 0;
    static const std::string in = tavro::fuzz::ScratchDir() + "in/";
    static const std::string out = tavro::fuzz::ScratchDir() + "out/";
    static bool ready = false;
    if (!ready) {
        tavro::fuzz::MakeFolders(in);
        tavro::fuzz::MakeFolders(out);
        tavro::fuzz::WarmUpImaging();
        ready = true;
    }

    const unsigned selector = data[0];
    const auto target = static_cast<TTargetFormat>((selector >> 2) & 3);
    std::size_t pos = 1;
    std::string name;
    switch (selector & 3) {
        case 0: name = "pic.k"; break;
        case 1: name = "pic.g"; break;
        default: {
            if (pos >= size) return 0;
            std::size_t len = data[pos++];
            if (len > kMaxNameLength) len = kMaxNameLength;
            if (len > size - pos) len = size - pos;
            name.assign(reinterpret_cast<const char*>(data + pos), len);
            pos += len;
            name = (selector & 3) == 2 ? UsableName(name + ".raw") : UsableName(name);
        }
    }
    const std::string source = in + name;
    tavro::fuzz::PutFile(source, data + pos, size - pos);

    tavro::fuzz::Guarded([&] {
        const TPictureKind detected = DetectPictureKind(source);
        if (detected > pkOther) tavro::fuzz::Finding("DetectPictureKind gave kind " + std::to_string(detected));
        std::string dest = out + "pic" + TargetExtensions[target];
        TPictureKind kind = pkOther;
        const bool converted = DecodePicture(source, dest, target, kind);
        if (kind != detected) tavro::fuzz::Finding("DecodePicture's kind differs from DetectPictureKind's");
        if (FolderPart(dest) != out) tavro::fuzz::Finding("the decoded picture left its folder: " + dest);
        if (!converted && !ListPlainFiles(out).empty()) tavro::fuzz::Finding("a failed decode wrote a file");
    });
    tavro::fuzz::EmptyFolder(out);
    ::tavro::RemoveFile(source);
    return 0;
}
