// The icon resource archive (iconres.ezx) and its structure file (iconres.dat).
//
// Archive, in file order:
//   0          header text; bytes 16-23 hold P as 8 hexadecimal digits
//   namesBase  the names, each followed by LF
//   ...        0-3 zero bytes, so that P is a multiple of 4
//   P          table header, 5 words: 0xABCDDCBA, namesBase, N, idTable, dataBase
//   idTable    N slots of 3 words: ResourceId, name offset (from namesBase, or
//              0xFFFFFFFF for an empty slot), data offset (from dataBase)
//   dataBase   data records: 0xDCBAABCD, size S, S bytes
// Structure file: record count R, then R records of
//   SlotIndex, L1, RawName (L1 bytes), L2, IconName (L2 bytes), Kind (1 byte),
//   NameHash, ResourceId.
// Every integer is an unsigned 32-bit little-endian word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/conversion.h"

namespace tavro {

constexpr std::uint32_t TableHeaderMagic = 0xABCDDCBA;
constexpr std::uint32_t DataRecordMagic = 0xDCBAABCD;
constexpr std::uint32_t NoEntry = 0xFFFFFFFF;

constexpr std::size_t kHeaderCopySize = 1575;         // bytes copied into iconres.hdr
constexpr std::size_t kOffsetFieldPos = 16;            // the 8 digits of P
constexpr std::size_t kOffsetFieldLen = 8;
constexpr std::size_t kTableHeaderSize = 20;
constexpr std::size_t kSlotSize = 12;
constexpr std::size_t kMaxSlots = 65536;
constexpr std::size_t kPictureAreaSize = 1 << 20;      // one entry's bytes
constexpr std::size_t kNameReadSize = 100;             // a name and its LF fit in here
constexpr std::size_t kMaxNameLength = kNameReadSize - 1;
constexpr std::size_t kStructureAreaSize = (1 << 20) + 4;  // a whole structure file
constexpr std::size_t kStructureCountSize = 4;            // the record count before the records
constexpr std::size_t kStructureRecordFixedSize = 21;     // a record without its two names
constexpr std::size_t kMinHeaderSize = kOffsetFieldPos + kOffsetFieldLen;  // room for P's digits
constexpr std::size_t kMaxHeaderSize = 65536;
constexpr std::size_t kMaxIconFiles = 65535;
// The first bytes of every archive; packing refuses a header text without them.
constexpr const char* kArchiveSignature = "motoskin";
constexpr std::size_t kArchiveSignatureSize = 8;
// Stands in an unpacking's folder from its first written byte until its last: a
// folder holding it is a mixture of two runs, and packing refuses it.
constexpr const char* kUnfinishedMarkName = "iconres.unfinished";

inline const std::string kEmptySlotName = "[]";

// The in-memory structure record.
struct TConvRec {
    std::uint32_t NameHash = 0;
    std::uint32_t ResourceId = 0;
    std::string RawName;
    std::string IconName;
    std::uint32_t SlotIndex = 0;
    std::uint8_t Kind = pkOther;

    bool operator==(const TConvRec&) const = default;
};

std::uint32_t HashName(const std::string& name);

// Stores value at buffer[position] least significant byte first; position += 4.
void PutU32(std::uint32_t value, std::size_t& position, std::uint8_t* buffer);
// Copies the text's bytes to buffer[position]; position += its length.
void PutBytes(const std::string& text, std::size_t& position, std::uint8_t* buffer);

// A hexadecimal digit's value, upper- or lower-case. Nothing is validated: other
// characters give a meaningless value (their code minus 55 after upper-casing); the
// position they make is used as it stands, and every read at it is checked.
std::uint32_t HexDigitValue(std::uint8_t c);
// 0-15 to "0"-"9", "a"-"f".
char HexDigitChar(std::uint32_t value);

// P from the 8 digits at offset 16 of the header text.
std::uint32_t ParseOffsetField(const std::uint8_t* digits);
// P as 8 lower-case hexadecimal digits.
std::string FormatOffsetField(std::uint32_t p);

// Why an entry name cannot name a file inside raws/ or icons/ (it contains "/" or a
// NUL byte, or is "." or ".."), or nullptr when it can. Such a name would otherwise
// reach outside those folders.
const char* UnsafeEntryNameReason(const std::string& name);

// The size of one structure record in the file: 21 + L1 + L2.
std::size_t StructureRecordSize(const TConvRec& rec);
// Appends a record at buffer[position] (the caller has checked the room).
void PutStructureRecord(const TConvRec& rec, std::size_t& position, std::uint8_t* buffer);

}  // namespace tavro
