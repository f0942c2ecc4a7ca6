// Handset pictures and archives that the benchmarks generate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/format.h"
#include "imaging/bytes.h"

namespace tavro {

using Bytes = std::vector<std::uint8_t>;

inline void AppendU32(Bytes& out, std::uint32_t v) {
    std::uint8_t b[4];
    store_u32le(b, v);
    out.insert(out.end(), b, b + 4);
}

// A 32-bit .k picture of side x side pixels, pixel(x, y) giving each one as ARGB.
template <class Pixel>
Bytes MakeK32(int side, Pixel pixel) {
    Bytes k;
    const auto u32 = [](auto v) { return static_cast<std::uint32_t>(v); };
    for (std::uint32_t w : {u32(side), u32(side), 32u, u32(4 * side)}) AppendU32(k, w);
    k.reserve(k.size() + 4 * static_cast<std::size_t>(side) * static_cast<std::size_t>(side));
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) AppendU32(k, pixel(x, y));  // B G R A
    }
    return k;
}

// An archive built slot by slot: entries (names ascending, so that names and data
// records follow slot order) and empty slots.
class ArchiveBuilder {
public:
    void Add(const std::string& name, const Bytes& bytes) {
        AppendU32(table_, 1000 + slots_++);
        AppendU32(table_, static_cast<std::uint32_t>(names_.size()));
        AppendU32(table_, static_cast<std::uint32_t>(data_.size()));
        names_.insert(names_.end(), name.begin(), name.end());
        names_.push_back('\n');
        AppendU32(data_, DataRecordMagic);
        AppendU32(data_, static_cast<std::uint32_t>(bytes.size()));
        data_.insert(data_.end(), bytes.begin(), bytes.end());
    }
    void AddEmpty() {
        ++slots_;
        for (int w = 0; w < 3; ++w) AppendU32(table_, 0xFFFFFFFFu);
    }
    // The archive: the 1575-byte header text, the names, the table header (at an
    // offset that is a multiple of 4), the ID table and the data records.
    Bytes Finish() const {
        Bytes out(1575, ' ');
        const std::string start = "motoskin\n\nv1.00\n00000000\n";
        std::copy(start.begin(), start.end(), out.begin());
        out.insert(out.end(), names_.begin(), names_.end());
        while (out.size() % 4 != 0) out.push_back(0);
        const auto p = static_cast<std::uint32_t>(out.size());
        const std::string digits = FormatOffsetField(p);
        std::copy(digits.begin(), digits.end(), out.begin() + 16);
        for (std::uint32_t w : {TableHeaderMagic, 1575u, slots_, p + 20, p + 20 + 12 * slots_}) AppendU32(out, w);
        out.insert(out.end(), table_.begin(), table_.end());
        out.insert(out.end(), data_.begin(), data_.end());
        return out;
    }

private:
    std::uint32_t slots_ = 0;
    Bytes names_, table_, data_;
};

}  // namespace tavro
