// The icon resource archive and its structure file.
//
// Header text (the first bytes of the archive, and the whole of iconres.hdr):
//   offset  size  meaning
//   0       8     "motoskin" (never checked)
//   8       2     LF LF
//   10      5     "v1.00"
//   15      1     LF
//   16      8     P, the table header's position, as 8 hexadecimal digits, most
//                 significant first; read in either case, written in lower case
//   24      rest  free text
//
// Table header at P: magic, names base, N, ID table offset, data base (5 words).
// ID table slot (12 bytes): ResourceId, name offset (NoEntry = empty), data offset.
// Data record at data base + data offset: magic, size S, S bytes.
//
// Structure record (21 + L1 + L2 bytes):
//   offset       size  meaning
//   0            4     SlotIndex
//   4            4     L1
//   8            L1    RawName ("[]" for an empty slot)
//   8+L1         4     L2
//   12+L1        L2    IconName ("[]" for an empty slot)
//   12+L1+L2     1     Kind
//   13+L1+L2     4     NameHash, HashName(IconName)
//   17+L1+L2     4     ResourceId
#include "archive/format.h"

#include <cstring>

#include "imaging/bytes.h"

namespace tavro {

std::uint32_t HashName(const std::string& name) {
    std::uint32_t h = 0;
    for (unsigned char b : name) h = (h << 1) ^ (h >> 20) ^ b;
    return h;
}

void PutU32(std::uint32_t value, std::size_t& position, std::uint8_t* buffer) {
    store_u32le(buffer + position, value);
    position += 4;
}

void PutBytes(const std::string& text, std::size_t& position, std::uint8_t* buffer) {
    if (!text.empty()) std::memcpy(buffer + position, text.data(), text.size());
    position += text.size();
}

std::uint32_t HexDigitValue(std::uint8_t c) {
    if (c >= 'a' && c <= 'z') c = static_cast<std::uint8_t>(c - 'a' + 'A');
    if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0');
    // "A" to "F" give 10 to 15; anything else gives a meaningless value, computed in
    // unsigned arithmetic so that it wraps instead of overflowing.
    return static_cast<std::uint32_t>(c) - 55u;
}

char HexDigitChar(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    return kDigits[value & 0xF];
}

std::uint32_t ParseOffsetField(const std::uint8_t* digits) {
    std::uint32_t p = 0;
    for (std::size_t k = 0; k < kOffsetFieldLen; ++k) p = p * 16 + HexDigitValue(digits[k]);
    return p;
}

std::string FormatOffsetField(std::uint32_t p) {
    std::string digits(kOffsetFieldLen, '0');
    for (std::size_t k = 0; k < kOffsetFieldLen; ++k) {
        digits[k] = HexDigitChar(p >> (32 - 4 * (k + 1)));
    }
    return digits;
}

const char* UnsafeEntryNameReason(const std::string& name) {
    if (name.find('/') != std::string::npos) return "contains \"/\"";
    if (name.find('\0') != std::string::npos) return "contains a NUL byte";
    if (name == "." || name == "..") return "is \".\" or \"..\"";
    return nullptr;
}

std::size_t StructureRecordSize(const TConvRec& rec) {
    return kStructureRecordFixedSize + rec.RawName.size() + rec.IconName.size();
}

void PutStructureRecord(const TConvRec& rec, std::size_t& position, std::uint8_t* buffer) {
    PutU32(rec.SlotIndex, position, buffer);
    PutU32(static_cast<std::uint32_t>(rec.RawName.size()), position, buffer);
    PutBytes(rec.RawName, position, buffer);
    PutU32(static_cast<std::uint32_t>(rec.IconName.size()), position, buffer);
    PutBytes(rec.IconName, position, buffer);
    buffer[position++] = rec.Kind;
    PutU32(rec.NameHash, position, buffer);
    PutU32(rec.ResourceId, position, buffer);
}

}  // namespace tavro
