#include "cli/slotreader.h"

#include <algorithm>
#include <array>

#include "archive/format.h"
#include "imaging/bytes.h"
#include "imaging/errors.h"

namespace tavro::cli {

namespace {

constexpr std::size_t kRecordHeaderSize = 8;  // magic word and size S

std::string Hex(std::uint64_t v) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    do {
        s.insert(s.begin(), digits[v & 0xF]);
        v >>= 4;
    } while (v != 0);
    return "0x" + s;
}

}  // namespace

SlotReader::SlotReader(const std::string& path) : path_(path), file_(File::OpenRead(path)) {
    fileSize_ = file_.Size();

    std::array<std::uint8_t, kOffsetFieldLen> digits{};
    if (file_.ReadAt(kOffsetFieldPos, digits.data(), digits.size()) != digits.size()) {
        throw DataError(path_, "too short to be an archive: no table position at offset 16");
    }
    tablePos_ = ParseOffsetField(digits.data());

    std::array<std::uint8_t, kTableHeaderSize> header{};
    if (file_.ReadAt(tablePos_, header.data(), header.size()) != header.size()) {
        throw DataError(path_, "the table header at " + Hex(tablePos_) + " lies outside the file");
    }
    const std::uint32_t namesBase = load_u32le(header.data() + 4);
    const std::uint32_t count = load_u32le(header.data() + 8);
    const std::uint32_t idTable = load_u32le(header.data() + 12);
    const std::uint32_t dataBase = load_u32le(header.data() + 16);
    if (count > kMaxSlots) {
        throw DataError(path_, "the archive has " + std::to_string(count) + " slots, more than " +
                                   std::to_string(kMaxSlots));
    }

    std::vector<std::uint8_t> table(static_cast<std::size_t>(count) * kSlotSize);
    if (file_.ReadAt(idTable, table.data(), table.size()) != table.size()) {
        throw DataError(path_, "the ID table at " + Hex(idTable) + " lies outside the file");
    }

    std::array<std::uint8_t, kNameReadSize> nameBuf{};
    std::array<std::uint8_t, kRecordHeaderSize> record{};
    slots_.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = table.data() + static_cast<std::size_t>(i) * kSlotSize;
        ArchiveSlot& slot = slots_[i];
        slot.index = i;
        slot.resourceId = load_u32le(e);
        const std::uint32_t nameOff = load_u32le(e + 4);
        const std::uint32_t dataOff = load_u32le(e + 8);
        if (nameOff == NoEntry) continue;
        slot.empty = false;

        // Offsets are added in 64 bits: the sum of two words cannot overflow there.
        std::size_t got = file_.ReadAt(std::uint64_t{namesBase} + nameOff, nameBuf.data(), nameBuf.size());
        auto end = std::find(nameBuf.begin(), nameBuf.begin() + static_cast<std::ptrdiff_t>(got), '\n');
        if (end == nameBuf.begin() + static_cast<std::ptrdiff_t>(got)) {
            throw DataError(path_, "the name of slot " + std::to_string(i) + " has no end within " +
                                       std::to_string(kMaxNameLength) + " bytes");
        }
        slot.name.assign(nameBuf.begin(), end);

        const std::uint64_t recordPos = std::uint64_t{dataBase} + dataOff;
        if (file_.ReadAt(recordPos, record.data(), record.size()) != record.size()) {
            throw DataError(path_, "the data of slot " + std::to_string(i) + " lies outside the file");
        }
        slot.storedSize = load_u32le(record.data() + 4);
        if (slot.storedSize > kPictureAreaSize) {
            throw DataError(path_, "slot " + std::to_string(i) + " holds " + std::to_string(slot.storedSize) +
                                       " bytes, more than " + std::to_string(kPictureAreaSize));
        }
        slot.dataStart = recordPos + kRecordHeaderSize;
        // A record cut short by the end of the file yields the bytes that are there.
        std::uint64_t available = slot.dataStart <= fileSize_ ? fileSize_ - slot.dataStart : 0;
        slot.presentSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(slot.storedSize, available));
    }
}

std::vector<std::uint8_t> SlotReader::EntryBytes(const ArchiveSlot& slot) {
    std::vector<std::uint8_t> bytes(slot.empty ? 0 : slot.presentSize);
    bytes.resize(file_.ReadAt(slot.dataStart, bytes.data(), bytes.size()));
    return bytes;
}

}  // namespace tavro::cli
