// Unpacking an iconres.ezx into a folder.
#pragma once

#include <string>

#include "archive/sinks.h"
#include "imaging/conversion.h"

namespace tavro {

// Unpacks the archive into targetFolder (ending with "/"): iconres.hdr, iconres.dat,
// raws/ (every entry byte for byte) and icons/ (every handset picture decoded into
// `target`). Raises IoError and DataError.
void ExtractArchive(const std::string& archivePath, const std::string& targetFolder, TTargetFormat target,
                    ProgressSink& progress, IconList& icons, MessageSink& messages);

}  // namespace tavro
