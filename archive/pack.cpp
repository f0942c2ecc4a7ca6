#include "archive/pack.h"

#include <stdexcept>

namespace tavro {

PackResult PackArchive(const std::string&, const std::string&, ProgressSink&, MessageSink&) { throw std::logic_error("not built yet"); }

}  // namespace tavro
