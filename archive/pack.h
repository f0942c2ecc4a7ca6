// Packing a folder left by an extraction back into an archive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/format.h"
#include "archive/sinks.h"

namespace tavro {

enum class PackResult {
    Packed,            // the archive was written
    NoStructureFile,   // the folder has no iconres.dat: nothing written
    NoIcons,           // no icon file and no entry from raws/ to pack: nothing written
};

// Packs packFolder (ending with "/"): iconres.dat, iconres.hdr, icons/ and raws/ into
// a new archive at outputPath. Each icon is converted back into the handset form its
// entry had; entries that are no picture, .raw pictures whose icon is unchanged, and
// pictures that did not decode (no icon) come from their copies in raws/ as they are.
// Raises IoError and DataError; on failure an existing archive at outputPath is left
// untouched, and one that may not be written is refused. Warnings about icons go to
// messages.ShowWarning.
PackResult PackArchive(const std::string& packFolder, const std::string& outputPath, ProgressSink& progress,
                       MessageSink& messages);

// -1, 0 or 1: the two RawNames compared byte by byte as unsigned values, a name
// before every longer name that begins with it. No case folding.
int CompareRawNames(const TConvRec& a, const TConvRec& b);

// The packing order: indexes into found, ascending by RawName, records with equal
// RawName in their order in found (a stable sort).
std::vector<std::uint32_t> SortByRawName(const std::vector<TConvRec>& found);

}  // namespace tavro
