// Byte builders for the seed corpus and the harnesses' fixed files: valid handset
// pictures, standard pictures, archives and structure files, assembled here from
// their layouts (not by the code under test, so that a fault there cannot hide in
// the seeds).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavro::fuzz::seeds {

// Pixel colour of (x, y) in the generated pictures: a gradient with a few
// transparent and half-transparent pixels, as ARGB.
std::uint32_t SamplePixel(int x, int y);

std::string TinyGif();                            // 1 x 1 GIF89a with transparency
std::string Png(int width, int height);           // 32-bit with alpha
std::string Jpeg(int width, int height);
std::string Bmp32(int width, int height);         // 54-byte header, bottom-up, B G R A
std::string Bmp24(int width, int height);
std::string K18(int width, int height, bool mask);
std::string K32(int width, int height);
std::string Raw(int width, int height);           // pixels and mask, no name

void AppendU32(std::string& out, std::uint32_t value);

struct Entry {
    std::uint32_t resourceId = 0;
    bool empty = false;      // an empty slot: no name, no data
    std::string name;
    std::string data;
};

// An archive holding these slots (empty ones included); the header text is `headerLength` bytes (at
// least 24) with P written in its offset field, in upper case when asked.
std::string Archive(const std::vector<Entry>& entries, std::size_t headerLength, bool upperDigits = false);

struct Record {
    std::uint32_t slot = 0;
    std::string rawName;
    std::string iconName;
    std::uint8_t kind = 5;
    std::uint32_t resourceId = 0;
};

// A structure file: the count N, then the records (which need not number N).
std::string Structure(std::uint32_t count, const std::vector<Record>& records);

// A header text of `length` bytes with a zero offset field.
std::string HeaderText(std::size_t length);

}  // namespace tavro::fuzz::seeds
