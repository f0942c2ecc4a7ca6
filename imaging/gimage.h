// The handset's ".g" image: a whole GIF or PNG file stored under another extension.
// Recognised by its first four bytes: "GIF8" -> ".gif", 89 50 4E 47 -> ".png",
// anything else (a short file too) -> ".unk".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

// The extension that the content of a .g file deserves: ".gif", ".png" or ".unk".
std::string GImageExtension(const std::string& source);

// Changes dest's extension by the source's content, stores it back in `dest`, and
// copies the source there byte for byte, replacing an existing file.
void ReadGImage(const std::string& source, std::string& dest);

// Changes dest's extension to ".g", stores it back, and copies the source there.
void WriteGImage(const std::string& source, std::string& dest);
// The same without writing: dest renamed, the source's size, and its first `limit`
// bytes (all of them when it is no longer).
std::vector<std::uint8_t> GImageBytes(const std::string& source, std::string& dest, std::size_t limit,
                                      std::uint64_t& size);

}  // namespace tavro
