// Harness: packing a folder whose structure file (iconres.dat) is hostile. The
// folder holds a small iconres.hdr, two icons (a PNG and a 32-bit BMP with alpha) and
// two copies in raws/ that packing may carry as they are or compare with an icon (a
// .raw picture and a text); the structure file is the input. After each run the conversion folder and the
// output are removed, and nothing else may have appeared in the folder.
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/pack.h"
#include "archive/sinks.h"
#include "fuzz/fuzzsupport.h"
#include "fuzz/seedbytes.h"
#include "imaging/fileio.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavro;
    namespace seeds = tavro::fuzz::seeds;
    static const std::string folder = tavro::fuzz::ScratchDir() + "pack/";
    static bool ready = false;
    if (!ready) {
        tavro::fuzz::MakeFolders(folder + "icons");
        tavro::fuzz::PutFile(folder + "iconres.hdr", seeds::HeaderText(40));
        tavro::fuzz::PutFile(folder + "icons/a.png", seeds::Png(5, 3));
        tavro::fuzz::PutFile(folder + "icons/b.bmp", seeds::Bmp32(4, 3));
        tavro::fuzz::MakeFolders(folder + "raws");
        tavro::fuzz::PutFile(folder + "raws/r(2x02).raw", seeds::Raw(2, 2));
        tavro::fuzz::PutFile(folder + "raws/notes.txt", "not a picture");
        tavro::fuzz::WarmUpImaging();
        ready = true;
    }
    const std::string output = folder + "out.ezx";
    tavro::fuzz::PutFile(folder + "iconres.dat", data, size);

    NullProgress progress;
    NullMessages messages;
    tavro::fuzz::Guarded([&] { PackArchive(folder, output, progress, messages); });

    RemoveFile(output);
    tavro::fuzz::EmptyFolder(folder + "conv");
    RemoveFolder(folder + "conv");
    for (const std::string& name : ListPlainFiles(folder))
        if (name != "iconres.hdr" && name != "iconres.dat") tavro::fuzz::Finding("packing left " + name);
    const auto icons = ListPlainFiles(folder + "icons");
    if (icons.size() != 2 || icons[0] != "a.png" || icons[1] != "b.bmp") tavro::fuzz::Finding("packing changed icons/");
    const auto raws = ListPlainFiles(folder + "raws");
    if (raws.size() != 2 || raws[0] != "notes.txt" || raws[1] != "r(2x02).raw") tavro::fuzz::Finding("packing changed raws/");
    return 0;
}
