#include "archive/extract.h"

#include <stdexcept>

namespace tavro {

void ExtractArchive(const std::string&, const std::string&, ProgressSink&, IconList&, MessageSink&) { throw std::logic_error("not built yet"); }

}  // namespace tavro
