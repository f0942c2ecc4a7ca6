// Harness: writing an 18-bit .k bitmap with mask from a hostile source file. The
// source is usually a BMP (a 32-bit one has its alpha taken from the file's own
// bytes), but any picture the imaging layer loads will do.
//
// Input: the source file's content. A .k written is checked against its header:
// 16 + stride x height + maskStride x height bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzzsupport.h"
#include "imaging/bytes.h"
#include "imaging/fileio.h"
#include "imaging/kbitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavro;
    static const std::string folder = tavro::fuzz::ScratchDir() + "kwrite/";
    static bool ready = false;
    if (!ready) {
        tavro::fuzz::MakeFolders(folder);
        tavro::fuzz::WarmUpImaging();
        ready = true;
    }
    const std::string source = folder + "src.bmp";
    const std::string dest = folder + "dst.k";
    tavro::fuzz::PutFile(source, data, size);

    tavro::fuzz::Guarded([&] {
        WriteKBitmap18(source, dest, true);
        if (!FileExists(dest)) return;
        const std::vector<std::uint8_t> k = ReadWholeFile(dest, 16 + 2 * kKWorkAreaSize);
        if (k.size() < kKHeaderSize) tavro::fuzz::Finding("a .k shorter than its header");
        const auto width = static_cast<std::int32_t>(load_u32le(k.data()));
        const auto height = static_cast<std::int32_t>(load_u32le(k.data() + 4));
        const auto depth = static_cast<std::int32_t>(load_u32le(k.data() + 8));
        const auto stride = static_cast<std::int32_t>(load_u32le(k.data() + 12));
        if (width <= 0 || height <= 0 || depth != kDepth18 || stride != KStride18(width))
            tavro::fuzz::Finding("a .k written with a bad header");
        const std::uint64_t expected = kKHeaderSize + static_cast<std::uint64_t>(stride) * height +
                                       static_cast<std::uint64_t>(KMaskStride(width)) * height;
        if (k.size() != expected) tavro::fuzz::Finding("a .k whose size does not match its header");
    });
    ::tavro::RemoveFile(dest);
    ::tavro::RemoveFile(source);
    return 0;
}
