// Harness: the path rules and the size written in a .raw picture's name, on
// arbitrary byte strings. Checks the rules' own promises as it goes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzzsupport.h"
#include "imaging/conversion.h"
#include "imaging/paths.h"
#include "imaging/rawpicture.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) tavro::fuzz::Finding(what);
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return tail.size() <= text.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavro;
    const std::string path(reinterpret_cast<const char*>(data), size);

    const std::string folder = FolderPart(path);
    const std::string file = FileNamePart(path);
    const std::string ext = ExtensionOf(path);
    Check(folder + file == path, "folder part + file-name part is not the path");
    Check(folder.empty() || folder.back() == '/', "a folder part not ending with /");
    Check(file.find('/') == std::string::npos, "a file-name part holding /");
    Check(EndsWith(file, ext), "the extension is not the end of the file name");
    Check(ext.empty() || (ext[0] == '.' && ext.find('.', 1) == std::string::npos), "a malformed extension");
    Check(ChangeExtension(path, ext) == path, "changing to its own extension changes the path");
    const std::string changed = ChangeExtension(path, ".k");
    Check(ExtensionOf(changed) == ".k" && FolderPart(changed) == folder, "ChangeExtension lost the new extension");
    Check(UpperExtension(path).size() == ext.size(), "the upper-case extension has another length");
    const std::string slashed = WithTrailingSlash(path);
    Check(slashed.empty() == path.empty() && (slashed.empty() || slashed.back() == '/'), "WithTrailingSlash");

    tavro::fuzz::Guarded([&] {
        std::int32_t width = -1;
        std::int32_t height = -1;
        if (ParseRawSize(path, width, height)) Check(width >= 0, "a negative width parsed from digits");
        // Only .K names are opened by recognition; the rest are decided by the name.
        const std::string upper = UpperExtension(path);
        if (upper == ".RAW") Check(DetectPictureKind(path) == pkRaw, ".raw not recognised");
        if (upper == ".G") Check(DetectPictureKind(path) == pkG, ".g not recognised");
    });
    return 0;
}
