#include "archive/convertedicons.h"

#include "imaging/errors.h"

namespace tavro {

void ConvertedIcons::Store(const std::string& name, std::span<const std::uint8_t> bytes) {
    try {
        if (!scratch_.IsOpen()) scratch_ = File::CreateUnnamed(prefix_);
        scratch_.Write(bytes);
    } catch (const IoError& e) {
        throw IoError(e.Code(), prefix_ + name);
    }
    stored_[name] = {end_, bytes.size()};
    end_ += bytes.size();
}

std::optional<std::uint64_t> ConvertedIcons::SizeOf(const std::string& name) const {
    const auto it = stored_.find(name);
    if (it == stored_.end()) return std::nullopt;
    return it->second.size;
}

std::optional<std::size_t> ConvertedIcons::Take(const std::string& name, std::uint8_t* buffer) {
    const auto it = stored_.find(name);
    if (it == stored_.end()) return std::nullopt;
    const Stored icon = it->second;
    stored_.erase(it);
    return scratch_.ReadAt(icon.offset, buffer, icon.size);
}

}  // namespace tavro
