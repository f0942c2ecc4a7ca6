// Helpers of the archive tests: recorders for the three sinks, and archives and
// structure files assembled independently of the code under test.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/format.h"
#include "archive/sinks.h"
#include "support/testsupport.h"

namespace tavro::test {

// Records every call on the three sinks, in order, as short lines:
// "show", "caption:<text>", "pos:<n>", "close", "append:<name>", "select",
// "error:<text>", "notfound:<text>".
class Recorder : public ProgressSink, public IconList, public MessageSink {
public:
    void Show() override { log.push_back("show"); }
    void SetCaption(const std::string& caption) override { log.push_back("caption:" + caption); }
    void SetPosition(int percent) override { log.push_back("pos:" + std::to_string(percent)); }
    void Close() override { log.push_back("close"); }
    void Append(const std::string& name) override {
        log.push_back("append:" + name);
        lines.push_back(name);
    }
    void SelectFirst() override { log.push_back("select"); }
    void ShowError(const std::string& text) override { log.push_back("error:" + text); }
    void ShowNotFound(const std::string& text) override { log.push_back("notfound:" + text); }

    // The lines of the log that start with prefix.
    std::vector<std::string> Only(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& line : log) {
            if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
        }
        return out;
    }

    std::vector<std::string> log;
    std::vector<std::string> lines;
};

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A header text of `length` bytes (at least 24): the fixed start, the digit field
// (left as "????????" for the builder to fill), then free text.
inline Bytes HeaderText(std::size_t length) {
    Bytes h = ToBytes("motoskin\n\nv1.00\n????????");
    for (std::size_t i = h.size(); i < length; ++i) h.push_back(static_cast<std::uint8_t>('A' + i % 26));
    h.resize(length);
    return h;
}

// One ID table slot of an archive to build. An empty name makes an empty slot.
struct Slot {
    std::string name;
    Bytes data;
    std::uint32_t resourceId = 0;
};

inline Slot EmptySlot() { return Slot{}; }

struct ArchiveOptions {
    bool upperCaseDigits = false;
    std::uint32_t tableMagic = 0xABCDDCBA;
    std::uint32_t dataMagic = 0xDCBAABCD;
};

// An archive laid out as packing lays it out: names and data records in ascending
// name order (ties in slot order), zero bytes up to a multiple of 4, the table
// header, the ID table (empty slots as 12 bytes FF) and the data records.
inline Bytes BuildArchive(Bytes header, const std::vector<Slot>& slots, ArchiveOptions options = {}) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (!slots[i].name.empty()) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return slots[a].name < slots[b].name; });
    Bytes names;
    Bytes data;
    std::vector<std::uint32_t> nameOffset(slots.size(), 0xFFFFFFFF);
    std::vector<std::uint32_t> dataOffset(slots.size(), 0xFFFFFFFF);
    for (std::size_t i : order) {
        nameOffset[i] = static_cast<std::uint32_t>(names.size());
        dataOffset[i] = static_cast<std::uint32_t>(data.size());
        AppendText(names, slots[i].name + "\n");
        AppendU32(data, options.dataMagic);
        AppendU32(data, static_cast<std::uint32_t>(slots[i].data.size()));
        data.insert(data.end(), slots[i].data.begin(), slots[i].data.end());
    }
    Bytes out = header;
    out.insert(out.end(), names.begin(), names.end());
    while (out.size() % 4 != 0) out.push_back(0);
    const auto p = static_cast<std::uint32_t>(out.size());
    const char* digits = options.upperCaseDigits ? "0123456789ABCDEF" : "0123456789abcdef";
    for (int k = 0; k < 8; ++k) out[16 + k] = static_cast<std::uint8_t>(digits[(p >> (28 - 4 * k)) & 0xF]);
    const auto n = static_cast<std::uint32_t>(slots.size());
    AppendU32(out, options.tableMagic);
    AppendU32(out, static_cast<std::uint32_t>(header.size()));
    AppendU32(out, n);
    AppendU32(out, p + 20);
    AppendU32(out, p + 20 + 12 * n);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const bool empty = slots[i].name.empty();
        AppendU32(out, empty ? 0xFFFFFFFF : slots[i].resourceId);
        AppendU32(out, nameOffset[i]);
        AppendU32(out, dataOffset[i]);
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// One structure record as the file holds it.
struct Record {
    std::uint32_t slot = 0;
    std::string rawName;
    std::string iconName;
    std::uint8_t kind = 5;
    std::uint32_t hash = 0;
    std::uint32_t resourceId = 0;
};

inline Record EmptyRecord(std::uint32_t slot) { return Record{slot, "[]", "[]", 5, 0, 0}; }

inline void AppendRecord(Bytes& out, const Record& r) {
    AppendU32(out, r.slot);
    AppendU32(out, static_cast<std::uint32_t>(r.rawName.size()));
    AppendText(out, r.rawName);
    AppendU32(out, static_cast<std::uint32_t>(r.iconName.size()));
    AppendText(out, r.iconName);
    out.push_back(r.kind);
    AppendU32(out, r.hash);
    AppendU32(out, r.resourceId);
}

// A structure file: the count, then the records as given.
inline Bytes StructureFile(std::uint32_t count, const std::vector<Record>& records) {
    Bytes out;
    AppendU32(out, count);
    for (const auto& r : records) AppendRecord(out, r);
    return out;
}

// The names in a folder, sorted; hidden ones included.
inline std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string TextAt(const Bytes& b, std::size_t offset, std::size_t len) {
    return std::string(b.begin() + static_cast<std::ptrdiff_t>(offset),
                       b.begin() + static_cast<std::ptrdiff_t>(offset + len));
}

// P, from the eight digits at offset 16.
inline std::uint32_t TablePosition(const Bytes& archive) {
    return static_cast<std::uint32_t>(std::stoul(TextAt(archive, 16, 8), nullptr, 16));
}

}  // namespace tavro::test
