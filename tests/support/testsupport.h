// Helpers shared by the test suites: temporary folders and byte files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

}  // namespace tavro::test
