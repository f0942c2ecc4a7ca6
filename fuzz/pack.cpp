// Harness: packing a folder whose structure file (iconres.dat) is hostile. The folder
// is MakePackFolder's (icons, and copies in raws/ that packing may carry as they are
// or compare with an icon); the structure file is the input. After each run the conversion
// folder and the output are removed, and nothing else may have changed in the folder.
#include "archive/pack.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/sinks.h"
#include "fuzz/fuzzsupport.h"
#include "imaging/fileio.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavro;
    static const std::string folder = fuzz::ScratchDir() + "pack/";
    if (!std::filesystem::exists(folder)) fuzz::MakePackFolder(folder);
    fuzz::WarmUpImaging();
    WriteWholeFile(folder + "iconres.dat", {data, size});
    NullProgress progress;
    NullMessages messages;
    fuzz::Guarded([&] { PackArchive(folder, folder + "out.ezx", progress, messages); });

    RemoveFile(folder + "out.ezx");
    std::filesystem::remove_all(folder + "conv");
    // Hidden files too: a temporary archive left beside the output would be one.
    if (ListRegularFiles(folder) != std::vector<std::string>{"iconres.dat", "iconres.hdr"})
        fuzz::Finding("packing left a file");
    if (ListPlainFiles(folder + "icons") != std::vector<std::string>{"a.png", "b.bmp"})
        fuzz::Finding("packing changed icons/");
    if (ListPlainFiles(folder + "raws") != std::vector<std::string>{"notes.txt", "r(2x02).raw"})
        fuzz::Finding("packing changed raws/");
    return 0;
}
