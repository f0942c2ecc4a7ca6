#include "imaging/gimage.h"

#include <stdexcept>

namespace tavro {

std::string GImageExtension(const std::string&) { throw std::logic_error("not built yet"); }

void ReadGImage(const std::string&, std::string&) { throw std::logic_error("not built yet"); }

void WriteGImage(const std::string&, std::string&) { throw std::logic_error("not built yet"); }

}  // namespace tavro
