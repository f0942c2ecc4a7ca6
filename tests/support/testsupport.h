// Helpers shared by the test suites: temporary folders, files, caught errors, a
// recorder for the core's sinks, and one byte builder per file format, each field
// annotated and assembled independently of the code under test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "archive/sinks.h"
#include "imaging/standard.h"

namespace tavro::test {

using Bytes = std::vector<std::uint8_t>;
using Files = std::vector<std::pair<std::string, Bytes>>;  // names, sorted, and contents

// A fresh folder under the system's temporary folder, removed with its content when
// the object goes away. Path() ends with "/".
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tavro-test-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data()) == nullptr ? throw std::runtime_error("mkdtemp") : tmpl + "/";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())
              : throw std::runtime_error("cannot read " + path);
}
// Writes a file, making its folder first when it is missing.
inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    if (!std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes)))
        throw std::runtime_error("cannot write " + path);
}
inline std::string ReadText(const std::string& path) {
    const Bytes b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}
inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
inline void WriteText(const std::string& path, const std::string& text) { WriteBytes(path, ToBytes(text)); }
inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// The names in a folder, sorted, hidden ones included; none for a missing folder.
inline std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Whether text holds part, showing the text when it does not.
inline ::testing::AssertionResult Contains(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\" does not contain \"" << part << "\"";
}

// Runs f; returns the error when it throws Error, nothing when it returns.
template <typename Error, typename F>
std::optional<Error> Caught(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e;
    }
    return std::nullopt;
}

// Records every call on the three sinks, in order: "show", "caption:<text>",
// "pos:<n>", "close", "append:<name>", "select", "error:<text>", "notfound:<text>",
// "warning:<text>".
// `action` runs when the progress window gets the caption `hookCaption`: the
// captions mark the stages of packing, so the action lands between two of them.
class Recorder : public ProgressSink, public IconList, public MessageSink {
public:
    void Show() override { log.push_back("show"); }
    void SetCaption(const std::string& caption) override {
        log.push_back("caption:" + caption);
        if (caption == hookCaption && action) action();
    }
    void SetPosition(int percent) override { log.push_back("pos:" + std::to_string(percent)); }
    void Close() override { log.push_back("close"); }
    void Append(const std::string& name) override { log.push_back("append:" + name), lines.push_back(name); }
    void SelectFirst() override { log.push_back("select"); }
    void ShowError(const std::string& text) override { log.push_back("error:" + text); }
    void ShowNotFound(const std::string& text) override { log.push_back("notfound:" + text); }
    void ShowWarning(const std::string&, const std::string& text) override { log.push_back("warning:" + text); }

    std::vector<std::string> log;
    std::vector<std::string> lines;  // the names appended to the icon list
    std::string hookCaption;
    std::function<void()> action;
};

// Little-endian words.
inline void AppendU32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
inline std::uint32_t WordAt(const Bytes& b, std::size_t offset) {
    return b[offset] | b[offset + 1] << 8 | b[offset + 2] << 16 | static_cast<std::uint32_t>(b[offset + 3]) << 24;
}

// .k: width, height, depth (18, else 32-bit), stride (bytes per row), then body.
inline Bytes KFile(std::int32_t width, std::int32_t height, std::int32_t depth, std::int32_t stride,
                   const Bytes& body = {}) {
    Bytes b;
    for (std::int32_t v : {width, height, depth, stride}) AppendU32(b, static_cast<std::uint32_t>(v));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// BMP of 32 bits per pixel (B G R A) with the rows as given; a negative height stores
// the top row first. Compression 3 (BI_BITFIELDS) adds the masks of red, green, blue.
inline Bytes Bmp32(std::int32_t width, std::int32_t height, std::uint32_t compression, const Bytes& rows) {
    const std::uint32_t offset = compression == 3 ? 66 : 54, w = width, h = height;
    const auto size = static_cast<std::uint32_t>(rows.size());
    Bytes b = ToBytes("BM");
    // File size, reserved, pixel offset, info header size, width, height, planes 1 and
    // 32 bits, compression, image size, resolution and colours 0.
    for (std::uint32_t v : {offset + size, 0u, offset, 40u, w, h, 1u | 32 << 16, compression, size, 0u, 0u, 0u, 0u})
        AppendU32(b, v);
    if (compression == 3)
        for (std::uint32_t m : {0xFF0000u, 0xFF00u, 0xFFu}) AppendU32(b, m);
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

// Archive header text of `length` bytes (at least 24): "motoskin", LF LF, "v1.00",
// LF, the 8 digits of P (left "????????" for BuildArchive), then free text.
inline Bytes HeaderText(std::size_t length) {
    Bytes h = ToBytes("motoskin\n\nv1.00\n????????");
    for (std::size_t i = h.size(); i < length; ++i) h.push_back(static_cast<std::uint8_t>('A' + i % 26));
    h.resize(length);
    return h;
}

// One ID table slot; an empty name makes an empty slot. Names and data go in the
// order of `order`, the name itself when empty.
struct Slot {
    std::string name;
    Bytes data;
    std::uint32_t resourceId = 0;
    std::string order = "";
};

struct ArchiveOptions {
    bool upperCaseDigits = false;
    std::uint32_t tableMagic = 0xABCDDCBA;
    std::uint32_t dataMagic = 0xDCBAABCD;
};

// An archive laid out as packing lays it out: names (each and its LF) and data
// records (magic, size, bytes) in ascending order, ties in slot order; zero bytes up
// to a multiple of 4 (P); the table header (magic, header size, N, P + 20, P + 20 +
// 12 N); the ID table (ResourceId, name offset, data offset; an empty slot is 12
// bytes FF); the data records.
inline Bytes BuildArchive(Bytes out, const std::vector<Slot>& entries, ArchiveOptions options = {}) {
    const auto headerSize = static_cast<std::uint32_t>(out.size()), n = static_cast<std::uint32_t>(entries.size());
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < n; ++i)
        if (!entries[i].name.empty()) order.push_back(i);
    auto key = [&](std::size_t i) { return entries[i].order.empty() ? entries[i].name : entries[i].order; };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
    Bytes data;
    std::vector<std::uint32_t> offsets(2 * n, 0xFFFFFFFF);  // name and data offset per slot
    for (std::size_t i : order) {
        offsets[2 * i] = static_cast<std::uint32_t>(out.size() - headerSize);
        offsets[2 * i + 1] = static_cast<std::uint32_t>(data.size());
        out.insert(out.end(), entries[i].name.begin(), entries[i].name.end());
        out.push_back('\n');
        for (std::uint32_t w : {options.dataMagic, static_cast<std::uint32_t>(entries[i].data.size())})
            AppendU32(data, w);
        data.insert(data.end(), entries[i].data.begin(), entries[i].data.end());
    }
    while (out.size() % 4 != 0) out.push_back(0);
    const auto p = static_cast<std::uint32_t>(out.size());
    const char* digits = options.upperCaseDigits ? "0123456789ABCDEF" : "0123456789abcdef";
    for (int k = 0; k < 8; ++k) out[16 + k] = static_cast<std::uint8_t>(digits[(p >> (28 - 4 * k)) & 0xF]);
    for (std::uint32_t w : {options.tableMagic, headerSize, n, p + 20, p + 20 + 12 * n}) AppendU32(out, w);
    for (std::size_t i = 0; i < n; ++i)
        for (std::uint32_t w : {entries[i].name.empty() ? 0xFFFFFFFF : entries[i].resourceId, offsets[2 * i],
                                offsets[2 * i + 1]})
            AppendU32(out, w);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// P, from the eight digits at offset 16.
inline std::uint32_t TablePosition(const Bytes& archive) {
    return static_cast<std::uint32_t>(std::stoul(std::string(archive.begin() + 16, archive.begin() + 24), nullptr, 16));
}

// One structure record: SlotIndex, L1, RawName, L2, IconName, Kind (1 byte),
// NameHash, ResourceId.
struct Record {
    std::uint32_t slot = 0;
    std::string rawName;
    std::string iconName;
    std::uint8_t kind = 5;
    std::uint32_t hash = 0;
    std::uint32_t resourceId = 0;
};

// The record extraction writes for an empty slot; 0xEB is the hash of "[]".
inline Record EmptyRecord(std::uint32_t slot, std::uint32_t id = 0xFFFFFFFF) { return {slot, "[]", "[]", 5, 0xEB, id}; }

// A structure file: the count, then the records as given (which need not number it).
inline Bytes StructureFile(std::uint32_t count, const std::vector<Record>& records) {
    Bytes out;
    AppendU32(out, count);
    for (const Record& r : records) {
        AppendU32(out, r.slot);
        for (const std::string* name : {&r.rawName, &r.iconName}) {
            AppendU32(out, static_cast<std::uint32_t>(name->size()));
            out.insert(out.end(), name->begin(), name->end());
        }
        out.push_back(r.kind);
        for (std::uint32_t w : {r.hash, r.resourceId}) AppendU32(out, w);
    }
    return out;
}

// 47 x 33 with alpha 0 (over colour), 1, partial, 254 and 255, and channels whose two
// low bits vary, so that a lossy, premultiplying or bit-dropping path shows.
inline Bitmap OddPicture() {
    Bitmap b(47, 33);
    static constexpr std::uint32_t kAlphas[] = {0, 1, 77, 128, 254, 255, 255};
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x)
            b.SetPixel(x, y, PackArgb(kAlphas[(x + 3 * y) % 7], x * 5 + 3, y * 7 + 1, (x * y + 13) & 0xFF));
    }
    return b;
}

}  // namespace tavro::test
