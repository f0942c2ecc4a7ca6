#include "imaging/bitmap.h"

#include <stdexcept>

namespace tavro {

Bitmap::Bitmap(int, int) {}

Bitmap::Bitmap(QImage) {}

std::uint32_t Bitmap::GetPixel(int, int) const { throw std::logic_error("not built yet"); }

void Bitmap::SetPixel(int, int, std::uint32_t) { throw std::logic_error("not built yet"); }

const std::uint32_t* Bitmap::Row(int) const { throw std::logic_error("not built yet"); }

std::uint32_t* Bitmap::Row(int) { throw std::logic_error("not built yet"); }

Bitmap LoadBitmap(const std::string&) { throw std::logic_error("not built yet"); }

int FindEncoderByMime(const std::string&) { throw std::logic_error("not built yet"); }

void SaveBitmap(const Bitmap&, const std::string&, const std::string&) { throw std::logic_error("not built yet"); }

}  // namespace tavro
