// Harness: unpacking a hostile archive. The archive is the input; the target folder
// lies deep below the scratch folder so that a name climbing out of it with "../"
// is caught by the walk after each run, however far it climbs in 99 bytes.
//
// The target format follows the input's length modulo 4, so that every encoder is
// reached without spending input bytes on it.
#include "archive/extract.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "archive/sinks.h"
#include "fuzz/fuzzsupport.h"
#include "imaging/fileio.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavro;
    static const std::string root = fuzz::ScratchDir(), archive = root + "in.ezx";
    static std::string target;
    if (target.empty()) {
        // Deep enough that 33 "../" (the most a 99-byte name holds) stay inside the root.
        for (int i = 0; i < 34; ++i) target += "j/";
        target = root + target + "t/";
        fuzz::WarmUpImaging();
    }
    std::filesystem::create_directories(target);
    WriteWholeFile(archive, {data, size});
    NullProgress progress;
    NullIconList icons;
    NullMessages messages;
    fuzz::Guarded([&] {
        ExtractArchive(archive, target, static_cast<TTargetFormat>(size % 4), progress, icons, messages);
    });

    // Everything under the root must be the archive, a folder of the chain leading to
    // the target, the target's four entries, or a file directly in raws/ or icons/.
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::string p = it->path().string();
        if (p == archive || (it->is_directory() && target.compare(0, p.size() + 1, p + "/") == 0)) continue;
        const std::string rest = p.compare(0, target.size(), target) == 0 ? p.substr(target.size()) : "/";
        if (rest == "iconres.hdr" || rest == "iconres.dat" || rest == "raws" || rest == "icons") continue;
        const std::size_t slash = rest.find('/');
        const std::string folder = rest.substr(0, slash);
        if ((folder == "raws" || folder == "icons") && rest.find('/', slash + 1) == std::string::npos &&
            !it->is_directory())
            continue;
        fuzz::Finding("extraction wrote outside raws/ and icons/ of its target folder: " + p);
    }
    std::filesystem::remove_all(target);
    return 0;
}
