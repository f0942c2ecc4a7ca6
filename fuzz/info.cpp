// Harness: the archive's slot reader (extraction and tavro info), which reads the slot
// table, every name and every entry's bytes without extracting. The archive is the
// input. Every slot it reports must lie inside the file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/format.h"
#include "archive/reader.h"
#include "fuzz/fuzzsupport.h"
#include "imaging/fileio.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string archive = tavro::fuzz::ScratchDir() + "info.ezx";
    tavro::WriteWholeFile(archive, {data, size});
    tavro::fuzz::Guarded([&] {
        tavro::ArchiveReader reader(archive);
        static std::vector<std::uint8_t> entry(tavro::kPictureAreaSize);
        for (const tavro::ArchiveSlot& slot : reader.ReadSlots()) {
            if (slot.empty) continue;
            if (slot.name.size() > tavro::kMaxNameLength || slot.name.find('\n') != std::string::npos)
                tavro::fuzz::Finding("a slot name longer than 99 bytes or holding LF");
            const bool past = slot.presentSize > 0 && slot.dataStart + slot.presentSize > size;
            if (slot.presentSize > slot.storedSize || past)
                tavro::fuzz::Finding("a slot's bytes reach past the end of the file");
            if (reader.ReadEntry(slot, entry.data()) != slot.presentSize)
                tavro::fuzz::Finding("ReadEntry differs from the size the slot reports");
        }
    });
    return 0;
}
