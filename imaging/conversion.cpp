#include "imaging/conversion.h"

#include <stdexcept>

namespace tavro {

TPictureKind DetectPictureKind(const std::string&) { throw std::logic_error("not built yet"); }

bool DecodePicture(const std::string&, std::string&, TTargetFormat, TPictureKind&) { throw std::logic_error("not built yet"); }

void EncodePicture(const std::string&, std::uint8_t, std::string&) { throw std::logic_error("not built yet"); }

}  // namespace tavro
