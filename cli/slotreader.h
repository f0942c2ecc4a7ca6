// Reading an archive's slot table without extracting anything.
//
// The layout (archive/format.h): the 8 hexadecimal digits at offset 16 give P; the
// table header at P holds the magic word, the names base, the slot count N, the ID
// table offset and the data base; slot i of the ID table is ResourceId, name offset
// (0xFFFFFFFF: empty) and data offset; a data record is the magic word, the size S
// and S bytes. Every position comes from the file, so every read is checked against
// the file's size and the format's limits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/fileio.h"

namespace tavro::cli {

struct ArchiveSlot {
    std::uint32_t index = 0;
    std::uint32_t resourceId = 0;
    bool empty = true;
    std::string name;             // up to the first LF
    std::uint64_t dataStart = 0;  // absolute offset of the entry's bytes
    std::uint32_t storedSize = 0; // S as the data record states it
    std::uint32_t presentSize = 0;  // the bytes of S that the file really holds
};

class SlotReader {
public:
    // Reads the table header, the ID table and every name and size. Raises IoError
    // when the file cannot be read and DataError when its table lies outside it or
    // beyond the format's limits.
    explicit SlotReader(const std::string& path);

    const std::string& Path() const { return path_; }
    std::uint32_t TablePosition() const { return tablePos_; }
    const std::vector<ArchiveSlot>& Slots() const { return slots_; }

    // The bytes of a present slot (the present part of them).
    std::vector<std::uint8_t> EntryBytes(const ArchiveSlot& slot);

private:
    std::string path_;
    File file_;
    std::uint64_t fileSize_ = 0;
    std::uint32_t tablePos_ = 0;
    std::vector<ArchiveSlot> slots_;
};

}  // namespace tavro::cli
