#include "archive/reader.h"

#include <algorithm>
#include <array>

#include "archive/format.h"
#include "imaging/bytes.h"
#include "imaging/errors.h"

namespace tavro {

namespace {

constexpr std::size_t kRecordHeaderSize = 8;  // magic word and size S

std::string SlotText(std::uint32_t slot) { return "slot " + std::to_string(slot); }

}  // namespace

ArchiveReader::ArchiveReader(const std::string& path) : path_(path), file_(File::OpenRead(path)) {
    fileSize_ = file_.Size();

    std::array<std::uint8_t, kOffsetFieldLen> digits{};
    const std::size_t got = file_.ReadAt(kOffsetFieldPos, digits.data(), digits.size());
    if (got < digits.size()) {
        throw DataError(ErrorCause::Truncated, path_,
                        "the archive is too short (" + std::to_string(fileSize_) +
                            " bytes) to hold the table position at offset 16");
    }
    tablePos_ = ParseOffsetField(digits.data());

    std::array<std::uint8_t, kTableHeaderSize> table{};
    if (file_.ReadAt(tablePos_, table.data(), table.size()) < table.size()) {
        throw DataError(
            ErrorCause::Truncated, path_,
            "the table header at offset " + std::to_string(tablePos_) + " lies past the end of the archive");
    }
    namesBase_ = load_u32le(table.data() + 4);
    slotCount_ = load_u32le(table.data() + 8);
    const std::uint64_t idTableOffset = load_u32le(table.data() + 12);
    dataBase_ = load_u32le(table.data() + 16);
    if (slotCount_ > kMaxSlots) {
        throw DataError(ErrorCause::BeyondLimit, path_,
                        "the archive has " + std::to_string(slotCount_) + " slots, more than " +
                            std::to_string(kMaxSlots));
    }

    idTable_.resize(std::size_t{slotCount_} * kSlotSize);
    if (file_.ReadAt(idTableOffset, idTable_.data(), idTable_.size()) < idTable_.size()) {
        throw DataError(ErrorCause::Truncated, path_,
                        "the ID table of " + std::to_string(slotCount_) + " slots at offset " +
                            std::to_string(idTableOffset) + " runs past the end of the archive");
    }
}

ArchiveSlot ArchiveReader::ReadSlot(std::uint32_t i) {
    ArchiveSlot slot;
    slot.index = i;
    if (i >= slotCount_) return slot;
    const std::uint8_t* entry = idTable_.data() + std::size_t{i} * kSlotSize;
    slot.resourceId = load_u32le(entry);
    const std::uint32_t nameOffset = load_u32le(entry + 4);
    const std::uint64_t dataOffset = load_u32le(entry + 8);
    if (nameOffset == NoEntry) return slot;

    // A name whose bytes lie past the end of the archive is shorter, or empty.
    std::array<std::uint8_t, kNameReadSize> name{};
    const std::size_t got = file_.ReadAt(namesBase_ + nameOffset, name.data(), name.size());
    const auto last = name.begin() + static_cast<std::ptrdiff_t>(got);
    const auto end = std::find(name.begin(), last, '\n');
    if (end == last && got == kNameReadSize) {
        throw DataError(ErrorCause::BeyondLimit, path_,
                        "the name of " + SlotText(i) + " has no LF in its first " +
                            std::to_string(kNameReadSize) + " bytes");
    }
    slot.name.assign(name.begin(), end);
    if (slot.name.empty()) return slot;
    slot.empty = false;

    // A size word past the end of the archive reads as 0: nothing to copy.
    const std::uint64_t recordPos = dataBase_ + dataOffset;
    std::array<std::uint8_t, kRecordHeaderSize> record{};
    if (file_.ReadAt(recordPos, record.data(), record.size()) == record.size()) {
        slot.storedSize = load_u32le(record.data() + 4);
    }
    if (slot.storedSize > kPictureAreaSize) {
        throw DataError(ErrorCause::TooLarge, path_,
                        "the picture of " + SlotText(i) + " (" + slot.name + ") has " +
                            std::to_string(slot.storedSize) + " bytes, more than " +
                            std::to_string(kPictureAreaSize));
    }
    slot.dataStart = recordPos + kRecordHeaderSize;
    const std::uint64_t available = slot.dataStart <= fileSize_ ? fileSize_ - slot.dataStart : 0;
    slot.presentSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(slot.storedSize, available));
    return slot;
}

std::vector<ArchiveSlot> ArchiveReader::ReadSlots() {
    std::vector<ArchiveSlot> slots;
    slots.reserve(slotCount_);
    for (std::uint32_t i = 0; i < slotCount_; ++i) slots.push_back(ReadSlot(i));
    return slots;
}

std::size_t ArchiveReader::ReadEntry(const ArchiveSlot& slot, std::uint8_t* buffer) {
    if (slot.empty) return 0;
    return file_.ReadAt(slot.dataStart, buffer, slot.presentSize);
}

}  // namespace tavro
