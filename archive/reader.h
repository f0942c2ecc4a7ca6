// Reading an archive's slots: the one reader that extraction and the command line's
// slot listing share.
//
//   offset                          size     meaning
//   16                              8        P as hexadecimal digits
//   P + 4                           16       names base, N, ID table offset, data base
//   ID table offset                 12 x N   ResourceId, name offset, data offset
//   names base + name offset        <=100    the name, up to the first LF
//   data base + data offset + 4     4        size S
//   data base + data offset + 8     S        the entry's bytes
// Offsets are 32-bit words; their sums are formed in 64 bits so that none wraps. Every
// position comes from the file, so every read is checked; a read past the end of the
// file yields the bytes that exist.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/fileio.h"

namespace tavro {

struct ArchiveSlot {
    std::uint32_t index = 0;
    std::uint32_t resourceId = 0;
    // An empty slot, or one whose name is empty: it has no files.
    bool empty = true;
    std::string name;
    std::uint64_t dataStart = 0;     // absolute offset of the entry's bytes
    std::uint32_t storedSize = 0;    // S as the data record states it (0 when past the end)
    std::uint32_t presentSize = 0;   // the bytes of S that the file really holds
};

class ArchiveReader {
public:
    // Opens the archive and reads P, the table header and the ID table. Raises IoError
    // when the file cannot be read, DataError when the table lies outside it or beyond
    // the format's limits.
    explicit ArchiveReader(const std::string& path);

    const std::string& Path() const { return path_; }
    std::uint32_t TablePosition() const { return tablePos_; }
    std::uint32_t SlotCount() const { return slotCount_; }

    // Slot i's name and size. Raises DataError for a name without LF in its first 100
    // bytes and for an entry larger than the picture area.
    ArchiveSlot ReadSlot(std::uint32_t i);
    std::vector<ArchiveSlot> ReadSlots();

    // Reads a present slot's bytes into buffer (room for presentSize bytes); returns
    // how many were read.
    std::size_t ReadEntry(const ArchiveSlot& slot, std::uint8_t* buffer);

    // Reads up to `len` bytes from the start of the archive (the header copy).
    std::size_t ReadPrefix(std::uint8_t* buffer, std::size_t len) { return file_.ReadAt(0, buffer, len); }

    void Close() { file_.Close(); }

private:
    std::string path_;
    File file_;
    std::uint64_t fileSize_ = 0;
    std::uint32_t tablePos_ = 0;
    std::uint32_t slotCount_ = 0;
    std::uint64_t namesBase_ = 0;
    std::uint64_t dataBase_ = 0;
    std::vector<std::uint8_t> idTable_;
};

}  // namespace tavro
