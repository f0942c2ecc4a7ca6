// Packing a folder left by an extraction back into an archive.
//
// Packing runs in stages: PlanPack reads the structure file and decides, for every
// file of icons/ and every record, what goes into the archive and from where; the
// icons planned are then converted back, laid out (names, offsets, ID table) and
// written. Whatever reports on a folder before packing it uses the same plan.
#pragma once

#include <cstdint>
#include <optional>
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

// Where a planned entry's bytes come from.
enum class EntrySource : std::uint8_t {
    Icon,     // its icon in icons/, converted back into the record's kind
    RawCopy,  // its copy in raws/, byte for byte
};

// One entry of the archive to be.
struct PlannedEntry {
    TConvRec record;  // from the structure file: slot, names, kind, resource id
    EntrySource source = EntrySource::Icon;
    std::string sourcePath;  // the file read: icons/ + IconName, or rawPath
    std::string rawPath;     // raws/ + RawName, whether or not it exists; empty for a
                             // name that would lead out of raws/
    // Encoded again into record.Kind (an icon), or carried unchanged (a raw copy).
    bool Reencoded() const { return source == EntrySource::Icon; }
};

// A problem packing tells the user about and carries on.
struct PackWarning {
    std::string path;
    std::string text;
};

struct PackPlan {
    bool structureFound = false;  // false: no iconres.dat, nothing else is planned
    std::uint32_t slotCount = 0;
    std::vector<PlannedEntry> entries;  // in packing order (PackingOrder)
    // The files of icons/ that add nothing: no record of a picture names them. (A
    // hidden file no record names is passed over without being listed.)
    std::vector<std::string> ignored;
    // Records whose slot stays empty: a picture whose icon was deleted (its copy in
    // raws/ decodes), or an entry whose copy in raws/ is gone.
    std::vector<TConvRec> dropped;
    std::vector<PackWarning> warnings;  // each also told to messages.ShowWarning
};

// The plan for packing packFolder (ending with "/"). Shows the progress window with
// its first two captions once the structure file has been read. Raises DataError for
// a folder whose unpacking did not finish, a structure file that cannot be read as
// one, too many icon files, and an entry name that would lead out of raws/.
PackPlan PlanPack(const std::string& packFolder, ProgressSink& progress, MessageSink& messages);

// What packing decides after the plan, for a check that packs nothing: each step
// raises packing's own error at the same point.
//
// Whether packing has nothing to write (PackResult::NoIcons).
bool PlansNothing(const PackPlan& plan);
// The header text packing puts in front of the archive.
std::vector<std::uint8_t> PackHeaderText(const std::string& packFolder);
// One planned entry as the conversion pass makes it, in memory and written nowhere:
// the name it is packed under, its size and, for an icon, the bytes it becomes (none
// for a mode without a writer, whose size then is 0).
struct DryPackedEntry {
    std::string name;
    std::uint64_t size = 0;
    std::optional<EncodedPicture> picture;
};
DryPackedEntry DryConvertEntry(const std::string& packFolder, const PlannedEntry& entry, std::uint32_t slotCount);

// The messages packing gives when it writes nothing, after the folder's path.
inline constexpr const char* kNoStructureFileText = "no structure file; nothing written";
inline constexpr const char* kNoIconsText = "no icons to pack; nothing written";

// Packs packFolder (ending with "/"): iconres.dat, iconres.hdr, icons/ and raws/ into
// a new archive at outputPath, as PlanPack plans it. Each icon is converted back into
// the handset form its entry had; entries that are no picture, .raw pictures whose
// icon is unchanged, and pictures that did not decode (no icon) come from their copies
// in raws/ as they are. Raises IoError and DataError; on failure an existing archive
// at outputPath is left untouched, and one that may not be written is refused.
// Warnings about icons go to messages.ShowWarning.
PackResult PackArchive(const std::string& packFolder, const std::string& outputPath, ProgressSink& progress,
                       MessageSink& messages);

// -1, 0 or 1: the two RawNames compared byte by byte as unsigned values, a name
// before every longer name that begins with it. No case folding.
int CompareRawNames(const TConvRec& a, const TConvRec& b);

// The packing order: indexes into found, ascending by RawName, records with equal
// RawName in their order in found (a stable sort).
std::vector<std::uint32_t> SortByRawName(const std::vector<TConvRec>& found);

}  // namespace tavro
