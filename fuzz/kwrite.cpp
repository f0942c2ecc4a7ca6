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
    static const std::string source = fuzz::ScratchDir() + "src.bmp", dest = fuzz::ScratchDir() + "dst.k";
    fuzz::WarmUpImaging();
    WriteWholeFile(source, {data, size});
    fuzz::Guarded([&] {
        WriteKBitmap18(source, dest, true);
        const std::vector<std::uint8_t> k = ReadWholeFile(dest, 16 + 2 * kKWorkAreaSize);
        if (k.size() < kKHeaderSize) fuzz::Finding("a .k shorter than its header");
        const KHeader h = ParseKHeader(k.data());
        if (h.width <= 0 || h.height <= 0 || h.depth != kDepth18 || h.stride != KStride18(h.width))
            fuzz::Finding("a .k written with a bad header");
        if (k.size() != kKHeaderSize + static_cast<std::uint64_t>(h.stride + KMaskStride(h.width)) * h.height)
            fuzz::Finding("a .k whose size does not match its header");
    });
    RemoveFile(dest);
    return 0;
}
