// The icons one packing has converted, kept out of the conversion folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>

#include "imaging/fileio.h"

namespace tavro {

// Stands in for the converted files that packing once wrote into conv/ and copied
// from there. Each icon is appended to one unnamed scratch file in conv/, so that a
// packing creates no file per icon and holds one icon in memory at a time, whatever
// the archive's size. The icons behave as those files did: storing a second icon
// under a name replaces the first, and taking an icon removes it, so that a second
// record converted to the same name finds nothing.
class ConvertedIcons {
public:
    // convPrefix: the conversion folder with its trailing "/".
    explicit ConvertedIcons(std::string convPrefix) : prefix_(std::move(convPrefix)) {}

    // Keeps the icon under its file name. Raises the IoError that writing the file
    // convPrefix + name would have raised (a folder that cannot hold it, a full disk).
    void Store(const std::string& name, std::span<const std::uint8_t> bytes);
    // The size of the icon kept under name, if there is one.
    std::optional<std::uint64_t> SizeOf(const std::string& name) const;
    // Reads the icon kept under name into buffer and removes it; returns its size,
    // or nothing when no icon is kept under that name.
    std::optional<std::size_t> Take(const std::string& name, std::uint8_t* buffer);

private:
    struct Stored {
        std::uint64_t offset;
        std::size_t size;
    };
    std::string prefix_;
    File scratch_;
    std::uint64_t end_ = 0;
    std::unordered_map<std::string, Stored> stored_;
};

}  // namespace tavro
