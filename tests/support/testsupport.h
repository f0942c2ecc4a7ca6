// Helpers shared by the test suites: temporary folders, byte files, .k files and
// pictures, and caught errors.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
void WriteText(const std::string& path, const std::string& text);
bool Exists(const std::string& path);
// Appends a 32-bit little-endian word.
void AppendU32(Bytes& out, std::uint32_t value);
void AppendText(Bytes& out, const std::string& text);

// Little-endian word at offset.
inline std::uint32_t WordAt(const Bytes& b, std::size_t offset) {
    return static_cast<std::uint32_t>(b[offset]) | (static_cast<std::uint32_t>(b[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(b[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(b[offset + 3]) << 24);
}

// A .k file: the 16-byte header (width, height, depth, stride), then body.
Bytes KFile(std::int32_t width, std::int32_t height, std::int32_t depth, std::int32_t stride,
            const Bytes& body = {});

// 47 x 33 with alpha 0 (over colour), 1, partial, 254 and 255, and channels whose two
// low bits vary, so that a lossy, premultiplying or bit-dropping path shows.
Bitmap OddPicture();

// Whether both pictures have the same size and pixels; names the first difference.
::testing::AssertionResult SamePixels(const Bitmap& want, const Bitmap& got);

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

}  // namespace tavro::test
