// Whether a check of a folder told what packing it then did: every entry carried from
// raws/ is in the archive byte for byte under its name, every entry encoded again is
// there under the name the check gave, every other slot is empty.
#pragma once

#include <gtest/gtest.h>

#include <map>

#include "archive/check.h"
#include "archive/reader.h"
#include "support/testsupport.h"

namespace tavro::test {

inline ::testing::AssertionResult CheckAgrees(const FolderCheck& check, const std::string& folder,
                                              const std::string& archive) {
    if (!check.Packable()) return ::testing::AssertionFailure() << "the check says packing fails: " << check.failure;
    std::map<std::uint32_t, const CheckRow*> packed;
    for (const CheckRow& row : check.rows) {
        if (row.action != CheckAction::LeftEmpty) packed[row.slot] = &row;
    }
    ArchiveReader reader(archive);
    std::vector<std::uint8_t> bytes(kPictureAreaSize);
    for (const ArchiveSlot& slot : reader.ReadSlots()) {
        const auto it = packed.find(slot.index);
        if (slot.empty != (it == packed.end())) {
            return ::testing::AssertionFailure() << "slot " << slot.index << (slot.empty ? " is empty" : " is packed");
        }
        if (slot.empty) continue;
        const CheckRow& row = *it->second;
        if (slot.name != row.packedName) {
            return ::testing::AssertionFailure() << "slot " << slot.index << " is " << slot.name << ", not "
                                                 << row.packedName;
        }
        const Bytes entry(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(reader.ReadEntry(slot, bytes.data())));
        if (row.action == CheckAction::Carried && entry != ReadBytes(folder + row.source)) {
            return ::testing::AssertionFailure() << "slot " << slot.index << " is not " << row.source;
        }
        packed.erase(it);
    }
    if (!packed.empty()) return ::testing::AssertionFailure() << "slot " << packed.begin()->first << " is missing";
    return ::testing::AssertionSuccess();
}

}  // namespace tavro::test
