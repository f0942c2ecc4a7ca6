#include "imaging/rawpicture.h"

#include <stdexcept>

namespace tavro {

bool ParseRawSize(const std::string&, std::int32_t&, std::int32_t&) { throw std::logic_error("not built yet"); }

void ReadRawPicture(const std::string&, const std::string&, std::int32_t, const std::string&, std::int32_t) { throw std::logic_error("not built yet"); }

}  // namespace tavro
