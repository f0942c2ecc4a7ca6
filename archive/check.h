// The check before packing: what packing a folder would do, entry by entry, taken from
// the plan that packing itself follows (PlanPack) and the same conversion in memory,
// so that the two cannot disagree. Nothing is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/pack.h"

namespace tavro {

enum class CheckAction : std::uint8_t {
    Carried,    // copied from raws/ byte for byte
    Encoded,    // its icon converted back into the record's kind
    LeftEmpty,  // the slot stays empty
};

struct CheckRow {
    std::uint32_t slot = 0;
    std::string entry;       // the record's entry name
    std::string packedName;  // the name it is packed under (a .raw's size may change it)
    std::string source;      // the file read, relative to the folder ("icons/a.bmp", "raws/a.k")
    CheckAction action = CheckAction::Carried;
    TPictureKind kind = pkOther;
    // Against the original entry (its copy in raws/), where both decode.
    bool sizeChanged = false;
    int fromWidth = 0, fromHeight = 0, toWidth = 0, toHeight = 0;
    int softAlphaLost = 0;  // partly transparent pixels whose alpha the new entry does not keep
    int colourError = 0;    // the largest channel error on pixels that stay visible
    std::string note;       // why it is carried or left empty, where that is worth saying
};

struct FolderCheck {
    std::vector<CheckRow> rows;        // the packed entries in packing order, then the empty ones
    std::vector<std::string> ignored;  // files of icons/ that packing passes over
    std::vector<PackWarning> warnings;
    // Where packing would fail, its own error: path and message. Empty when it succeeds.
    std::string failurePath;
    std::string failure;
    bool Packable() const { return failure.empty(); }
};

// Checks packFolder (ending with "/"). A folder packing refuses outright (an unfinished
// unpacking, a structure file it cannot read) raises its DataError or IoError; a
// failure further on is recorded in the result.
FolderCheck CheckFolder(const std::string& packFolder);

// The table for a person: one line per entry and per ignored file, then a summary line;
// names shown as UTF-8 text.
std::string CheckTable(const FolderCheck& check);

}  // namespace tavro
