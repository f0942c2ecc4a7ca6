// Harness: making an 18-bit .k bitmap with mask from a hostile source picture, in
// memory. The source is usually a BMP (a 32-bit one has its alpha taken from the
// file's own bytes), but any picture the imaging layer decodes will do.
//
// Input: the source file's content. A .k made is checked against its header:
// 16 + stride x height + maskStride x height bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzzsupport.h"
#include "imaging/kbitmap.h"
#include "imaging/standard.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavro;
    fuzz::WarmUpImaging();
    fuzz::Guarded([&] {
        const Bitmap source = DecodeBitmap({data, size});
        if (source.IsNull()) return;
        const std::vector<std::uint8_t> k = EncodeKBitmap18(source, true, "source");
        const KHeader h = ParseKHeader(k);
        if (h.width != source.Width() || h.height != source.Height() || h.depth != kDepth18 ||
            h.stride != KStride18(h.width))
            fuzz::Finding("a .k made with a bad header");
        if (k.size() != kKHeaderSize + static_cast<std::uint64_t>(h.stride + KMaskStride(h.width)) * h.height)
            fuzz::Finding("a .k whose size does not match its header");
    });
    return 0;
}
