// The handset's ".g" image: a whole GIF or PNG file stored under another extension.
// Recognised by its first four bytes: "GIF8" -> ".gif", 89 50 4E 47 -> ".png",
// anything else (a short file too) -> ".unk".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tavro {

// The first bytes of a .g file that decide its extension.
constexpr std::size_t kGSignatureSize = 4;

// The extension that the content of a .g file deserves: ".gif", ".png" or ".unk".
// `head` is the file's start (kGSignatureSize bytes suffice).
std::string GImageExtension(std::span<const std::uint8_t> head);

}  // namespace tavro
