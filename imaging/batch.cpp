#include "imaging/batch.h"

#include <stdexcept>

namespace tavro {

BatchDirection DirectionForFile(const std::string&) { throw std::logic_error("not built yet"); }

BatchResult ConvertFolder(const std::string&, const std::string&, BatchDirection, TTargetFormat) { throw std::logic_error("not built yet"); }

}  // namespace tavro
