// Harness: the command line's archive reader (tavro info), which reads the slot
// table, every name and every entry's bytes without extracting. The archive is the
// input. Every slot it reports must lie inside the file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/slotreader.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string archive = tavro::fuzz::ScratchDir() + "info.ezx";
    tavro::fuzz::PutFile(archive, data, size);
    tavro::fuzz::Guarded([&] {
        tavro::cli::SlotReader reader(archive);
        for (const tavro::cli::ArchiveSlot& slot : reader.Slots()) {
            if (slot.empty) continue;
            if (slot.name.size() > 99 || slot.name.find('\n') != std::string::npos)
                tavro::fuzz::Finding("a slot name longer than 99 bytes or holding LF");
            if (slot.presentSize > slot.storedSize || (slot.presentSize > 0 && slot.dataStart + slot.presentSize > size))
                tavro::fuzz::Finding("a slot's bytes reach past the end of the file");
            if (reader.EntryBytes(slot).size() != slot.presentSize)
                tavro::fuzz::Finding("EntryBytes differs from the size the slot reports");
        }
    });
    return 0;
}
