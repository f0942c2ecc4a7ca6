#include "imaging/batch.h"

#include <array>
#include <map>
#include <span>
#include <vector>

#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/paths.h"

namespace tavro {

namespace {

// The masks of each direction, as upper-case extensions, in the order they run.
constexpr std::array<const char*, 2> kHandsetMasks = {".K", ".G"};
constexpr std::array<const char*, 3> kStandardMasks = {".BMP", ".PNG", ".GIF"};

std::span<const char* const> MasksFor(BatchDirection direction) {
    if (direction == BatchDirection::ToStandard) return kHandsetMasks;
    return kStandardMasks;
}

// Converts one file. Returns whether a picture was written, into `target`; a picture
// the conversion does not recognise or cannot use (DataError) gives false, an IoError
// goes on up.
bool ConvertOne(const std::string& source, std::string& target, const std::string& upperExt,
                TTargetFormat format, const ConversionWarning& warn) {
    try {
        if (upperExt == ".K" || upperExt == ".G") {
            // A .k gets the target format's extension here; a .g keeps its name and
            // the decoder gives it the extension its content deserves.
            if (upperExt == ".K") target = ChangeExtension(target, TargetExtensions[format]);
            TPictureKind kind = pkOther;
            if (!DecodePicture(source, target, format, kind)) return false;
        } else {
            EncodePicture(source, pkK18Masked, target, warn);
        }
    } catch (const DataError&) {
        return false;
    }
    return FileExists(target);
}

}  // namespace

BatchDirection DirectionForFile(const std::string& pickedFile) {
    std::string ext = UpperExtension(pickedFile);
    return (ext == ".K" || ext == ".G") ? BatchDirection::ToStandard : BatchDirection::ToHandset;
}

BatchResult ConvertFolder(const std::string& sourceFolder, const std::string& targetFolder,
                          BatchDirection direction, TTargetFormat target) {
    return ConvertFolder(sourceFolder, targetFolder, direction, target, BatchProgress());
}

BatchResult ConvertFolder(const std::string& sourceFolder, const std::string& targetFolder,
                          BatchDirection direction, TTargetFormat target, const BatchProgress& progress,
                          const ConversionWarning& warn) {
    // A listing of a missing folder is empty; say so instead of converting nothing.
    RequireFolder(sourceFolder);

    // One listing, taken before anything is written, split by mask in mask order.
    std::vector<std::pair<std::string, std::string>> listed;  // name, upper-case extension
    for (std::string& name : ListPlainFiles(sourceFolder)) {
        std::string ext = UpperExtension(name);
        listed.emplace_back(std::move(name), std::move(ext));
    }
    std::vector<std::pair<std::string, std::string>> work;
    for (const char* mask : MasksFor(direction)) {
        for (const auto& entry : listed) {
            if (entry.second == mask) work.push_back(entry);
        }
    }

    BatchResult result;
    std::map<std::string, std::string> writtenFrom;  // target written, and from which source
    for (std::size_t i = 0; i < work.size(); ++i) {
        const auto& [name, ext] = work[i];
        std::string written = targetFolder + name;
        if (ConvertOne(sourceFolder + name, written, ext, target, warn)) {
            ++result.converted;
            const auto [it, first] = writtenFrom.emplace(written, name);
            if (first) {
                ++result.written;
            } else {
                result.collisions.push_back({written, it->second, name});
                it->second = name;
            }
        } else {
            ++result.passedOver;
        }
        if (progress) progress(i, work.size());
    }
    return result;
}

}  // namespace tavro
