#include "archive/format.h"

#include <stdexcept>

namespace tavro {

std::uint32_t HashName(const std::string&) { throw std::logic_error("not built yet"); }

void PutU32(std::uint32_t, std::size_t&, std::uint8_t*) { throw std::logic_error("not built yet"); }

void PutBytes(const std::string&, std::size_t&, std::uint8_t*) { throw std::logic_error("not built yet"); }

std::uint32_t HexDigitValue(std::uint8_t) { throw std::logic_error("not built yet"); }

char HexDigitChar(std::uint32_t) { throw std::logic_error("not built yet"); }

std::uint32_t ParseOffsetField(const std::uint8_t*) { throw std::logic_error("not built yet"); }

std::string FormatOffsetField(std::uint32_t) { throw std::logic_error("not built yet"); }

std::size_t StructureRecordSize(const TConvRec&) { throw std::logic_error("not built yet"); }

void PutStructureRecord(const TConvRec&, std::size_t&, std::uint8_t*) { throw std::logic_error("not built yet"); }

}  // namespace tavro
