// Converting every picture of one folder into another folder.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "imaging/conversion.h"

namespace tavro {

enum class BatchDirection {
    ToStandard,  // .k and .g files into standard pictures
    ToHandset,   // .bmp, .png and .gif files into handset pictures
};

// A target that two sources of one run were converted into (a.png and a.gif both
// give a.g): the later source's result is the one that stands.
struct BatchCollision {
    std::string target;   // the file written twice
    std::string replaced; // the source whose result was replaced
    std::string by;       // the source whose result replaced it
};

struct BatchResult {
    std::size_t converted = 0;   // sources converted
    std::size_t written = 0;     // distinct files written: converted less the collisions
    std::size_t passedOver = 0;
    std::vector<BatchCollision> collisions;
};

// Told after each file: its number (from 0) and how many files the run takes.
using BatchProgress = std::function<void(std::size_t index, std::size_t total)>;

// The direction a picked file's extension selects: ".K" or ".G" give ToStandard.
BatchDirection DirectionForFile(const std::string& pickedFile);

// Converts the matching files of sourceFolder into targetFolder (both ending "/").
// The masks are *.k then *.g, or *.bmp, *.png then *.gif, matched without regard to
// case; hidden files and anything that is not a regular file are passed over. Files
// the conversion cannot use are passed over silently; an IoError ends the run.
BatchResult ConvertFolder(const std::string& sourceFolder, const std::string& targetFolder,
                          BatchDirection direction, TTargetFormat target);

// The same, telling `progress` after each file and `warn` about each source that
// EncodePicture warns about. Every mask's files are listed before the first
// conversion, so that files written into the source folder (when the target folder is
// the same) are never converted again. A missing source folder raises IoError.
BatchResult ConvertFolder(const std::string& sourceFolder, const std::string& targetFolder,
                          BatchDirection direction, TTargetFormat target, const BatchProgress& progress,
                          const ConversionWarning& warn = {});

}  // namespace tavro
