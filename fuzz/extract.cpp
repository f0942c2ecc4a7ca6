// Harness: unpacking a hostile archive. The archive is the input; the target folder
// lies deep below the scratch folder so that a name climbing out of it with "../"
// is caught by the walk after each run, however far it climbs in 99 bytes.
//
// The target format follows the input's length modulo 4, so that every encoder is
// reached without spending input bytes on it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "archive/extract.h"
#include "archive/settings.h"
#include "archive/sinks.h"
#include "fuzz/fuzzsupport.h"

namespace {

// Deep enough that 33 "../" (the most a 99-byte name holds) stay inside the root.
constexpr int kTargetDepth = 34;

// Everything under the root must be the archive, the chain of folders leading to the
// target, or inside the target where extraction writes.
void CheckNothingOutside(const std::string& root, const std::string& target) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path archive = fs::path(root) / "in.ezx";
    const std::string targetNoSlash = target.substr(0, target.size() - 1);
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string p = it->path().string();
        if (it->path() == archive) continue;
        if (p.compare(0, target.size(), target) == 0) {
            const std::string rest = p.substr(target.size());
            const bool known = rest == "iconres.hdr" || rest == "iconres.dat" || rest == "raws" || rest == "icons";
            const bool inFolder = (rest.rfind("raws/", 0) == 0 || rest.rfind("icons/", 0) == 0) &&
                                  rest.find('/', rest.find('/') + 1) == std::string::npos && !it->is_directory();
            if (!known && !inFolder) tavro::fuzz::Finding("extraction wrote " + p);
            continue;
        }
        // A folder of the chain, on the way to the target.
        if (it->is_directory() && targetNoSlash.compare(0, p.size(), p) == 0) continue;
        tavro::fuzz::Finding("extraction wrote outside its target folder: " + p);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavro;
    static const std::string root = tavro::fuzz::ScratchDir();
    static std::string target;
    if (target.empty()) {
        std::string folder = root;
        for (int i = 0; i < kTargetDepth; ++i) folder += "j/";
        target = folder + "t/";
        tavro::fuzz::MakeFolders(target);
        tavro::fuzz::WarmUpImaging();
    }
    const std::string archive = root + "in.ezx";
    tavro::fuzz::PutFile(archive, data, size);
    AppSettings.TargetFormat = static_cast<TTargetFormat>(size % 4);

    NullProgress progress;
    NullIconList icons;
    NullMessages messages;
    tavro::fuzz::Guarded([&] { ExtractArchive(archive, target, progress, icons, messages); });

    CheckNothingOutside(root, target);
    tavro::fuzz::EmptyFolder(target);
    return 0;
}
