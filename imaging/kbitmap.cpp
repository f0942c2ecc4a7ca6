#include "imaging/kbitmap.h"

#include <stdexcept>

namespace tavro {

std::int64_t KStride18(std::int64_t) { throw std::logic_error("not built yet"); }

std::int64_t KMaskStride(std::int64_t) { throw std::logic_error("not built yet"); }

bool KHasMask(const KHeader&, std::uint64_t) { throw std::logic_error("not built yet"); }

void ReadKBitmap18(const std::string&, const std::string&, bool, const std::string&) { throw std::logic_error("not built yet"); }

void ReadKBitmap32(const std::string&, const std::string&, const std::string&) { throw std::logic_error("not built yet"); }

void WriteKBitmap18(const std::string&, const std::string&, bool) { throw std::logic_error("not built yet"); }

void WriteKBitmap32(const std::string&, const std::string&) { throw std::logic_error("not built yet"); }

}  // namespace tavro
