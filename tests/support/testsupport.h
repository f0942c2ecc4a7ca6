// Helpers shared by the test suites: temporary folders, files, caught errors, a
// recorder for the core's sinks, and one byte builder per file format, each field
// annotated and assembled independently of the code under test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/sinks.h"

namespace tavro {
class Bitmap;
}

namespace tavro::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temporary folder, removed with its content when
// the object goes away. Path() ends with "/".
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);
inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
inline void WriteText(const std::string& path, const std::string& text) { WriteBytes(path, ToBytes(text)); }
bool Exists(const std::string& path);
// The names in a folder, sorted, hidden ones included; none for a missing folder.
std::vector<std::string> FolderNames(const std::string& folder);
// Whether text holds part, showing the text when it does not.
::testing::AssertionResult Contains(const std::string& text, const std::string& part);

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
// "pos:<n>", "close", "append:<name>", "select", "error:<text>", "notfound:<text>".
// `action` runs when the progress window gets the caption `hookCaption`: the
// captions mark the stages of packing, so the action lands between two of them.
class Recorder : public ProgressSink, public IconList, public MessageSink {
public:
    void Show() override { log.push_back("show"); }
    void SetCaption(const std::string& caption) override;
    void SetPosition(int percent) override { log.push_back("pos:" + std::to_string(percent)); }
    void Close() override { log.push_back("close"); }
    void Append(const std::string& name) override;
    void SelectFirst() override { log.push_back("select"); }
    void ShowError(const std::string& text) override { log.push_back("error:" + text); }
    void ShowNotFound(const std::string& text) override { log.push_back("notfound:" + text); }
    // The lines of the log that start with prefix.
    std::vector<std::string> Only(const std::string& prefix) const;

    std::vector<std::string> log;
    std::vector<std::string> lines;  // the names appended to the icon list
    std::string hookCaption;
    std::function<void()> action;
};

// Little-endian words.
void AppendU32(Bytes& out, std::uint32_t value);
std::uint32_t WordAt(const Bytes& b, std::size_t offset);

// .k: width, height, depth (18, else 32-bit), stride (bytes per row), then body.
Bytes KFile(std::int32_t width, std::int32_t height, std::int32_t depth, std::int32_t stride,
            const Bytes& body = {});

// BMP: a 14-byte file header and a 40-byte info header for 32 bits per pixel (B G R
// A), with the three colour masks after it for compression 3 (BI_BITFIELDS); then
// the rows as given. A negative height stores the top row first.
Bytes Bmp32(std::int32_t width, std::int32_t height, std::uint32_t compression, const Bytes& rows);

// Archive header text of `length` bytes (at least 24): "motoskin", LF LF, "v1.00",
// LF, the 8 digits of P (left "????????" for BuildArchive), then free text.
Bytes HeaderText(std::size_t length);

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
// records (magic, size, bytes) in ascending order, ties in slot order; zero
// bytes up to a multiple of 4 (P); the table header (magic, header size, N, P + 20,
// P + 20 + 12 N); the ID table (ResourceId, name offset, data offset; an empty slot
// is 12 bytes FF); the data records.
Bytes BuildArchive(Bytes header, const std::vector<Slot>& slots, ArchiveOptions options = {});
// P, from the eight digits at offset 16.
std::uint32_t TablePosition(const Bytes& archive);

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

// The record extraction writes for an empty slot.
inline Record EmptyRecord(std::uint32_t slot, std::uint32_t id = 0xFFFFFFFF) {
    return Record{slot, "[]", "[]", 5, 0xEB /* the hash of "[]" */, id};
}

// A structure file: the count, then the records as given (which need not number it).
Bytes StructureFile(std::uint32_t count, const std::vector<Record>& records);

// 47 x 33 with alpha 0 (over colour), 1, partial, 254 and 255, and channels whose two
// low bits vary, so that a lossy, premultiplying or bit-dropping path shows.
Bitmap OddPicture();

// Whether both pictures have the same size and pixels; names the first difference.
::testing::AssertionResult SamePixels(const Bitmap& want, const Bitmap& got);

}  // namespace tavro::test
