// Packing a folder left by an extraction back into an archive.
#pragma once

#include <string>

#include "archive/sinks.h"

namespace tavro {

enum class PackResult {
    Packed,            // the archive was written
    NoStructureFile,   // the folder has no iconres.dat: nothing written
    NoIcons,           // icons/ is empty or missing: nothing written
};

// Packs packFolder (ending with "/"): iconres.dat, iconres.hdr and icons/ into a new
// archive at outputPath. Raises IoError and DataError; on failure an existing
// archive at outputPath is left untouched.
PackResult PackArchive(const std::string& packFolder, const std::string& outputPath, ProgressSink& progress,
                       MessageSink& messages);

}  // namespace tavro
