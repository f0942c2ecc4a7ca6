#include "archive/check.h"

#include <algorithm>
#include <cstdlib>

#include "archive/iconnames.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/paths.h"
#include "imaging/standard.h"

namespace tavro {

namespace {

// The picture of a handset file, or a null bitmap where it gives none.
Bitmap DecodeQuietly(const std::string& name, std::span<const std::uint8_t> bytes) {
    try {
        return DecodeHandsetPicture(name, PictureKindOf(name, bytes), bytes);
    } catch (const DataError&) {
        return Bitmap();
    }
}

// The bytes of the entry's copy in raws/; none where it is missing or too large.
std::vector<std::uint8_t> ReadCopyQuietly(const std::string& path) {
    if (path.empty()) return {};
    try {
        return ReadWholeFile(path, kPictureAreaSize);
    } catch (const IoError&) {
    } catch (const DataError&) {
    }
    return {};
}

// What the new entry keeps of the icon: soft alpha and colour, pixel by pixel.
void ComparePixels(const Bitmap& icon, const Bitmap& packed, CheckRow& row) {
    if (icon.Width() != packed.Width() || icon.Height() != packed.Height()) return;
    for (int y = 0; y < icon.Height(); ++y) {
        const std::uint32_t* a = icon.Row(y);
        const std::uint32_t* b = packed.Row(y);
        for (int x = 0; x < icon.Width(); ++x) {
            const std::uint32_t alpha = AlphaOf(a[x]);
            if (alpha > 0 && alpha < 255 && AlphaOf(b[x]) != alpha) ++row.softAlphaLost;
            if (alpha == 0 || AlphaOf(b[x]) == 0) continue;
            for (int shift : {0, 8, 16}) {
                const int error = std::abs(static_cast<int>((a[x] >> shift) & 0xFF) - static_cast<int>((b[x] >> shift) & 0xFF));
                row.colourError = std::max(row.colourError, error);
            }
        }
    }
}

std::string Relative(const std::string& folder, const std::string& path) {
    return path.compare(0, folder.size(), folder) == 0 ? path.substr(folder.size()) : path;
}

// One planned entry: converted in memory as packing converts it, and compared.
CheckRow CheckEntry(const std::string& folder, const PlannedEntry& entry, std::uint32_t slotCount) {
    CheckRow row;
    row.slot = entry.record.SlotIndex;
    row.entry = entry.record.RawName;
    row.packedName = entry.record.RawName;
    row.source = Relative(folder, entry.sourcePath);
    row.kind = static_cast<TPictureKind>(entry.record.Kind);
    const DryPackedEntry packed = DryConvertEntry(folder, entry, slotCount);
    row.packedName = packed.name;
    if (!entry.Reencoded()) {
        row.action = CheckAction::Carried;
        if (entry.record.Kind == pkOther) {
            row.note = "no picture";
        } else if (!FileExists(folder + "icons/" + entry.record.IconName)) {
            row.note = "no icon (the entry does not decode)";
        } else {
            row.note = "icon unchanged";
        }
        return row;
    }
    row.action = CheckAction::Encoded;
    if (!packed.picture) return row;
    // Bytes first: an entry that comes out as it went in has lost nothing.
    const std::vector<std::uint8_t> copy = ReadCopyQuietly(entry.rawPath);
    if (!copy.empty() && copy == packed.picture->bytes) {
        row.note = "same bytes";
        return row;
    }
    // The new entry, decoded in memory, has the icon's size: conversion keeps it.
    const Bitmap after = DecodeQuietly(row.packedName, packed.picture->bytes);
    const Bitmap original = copy.empty() ? Bitmap() : DecodeQuietly(FileNamePart(entry.rawPath), copy);
    if (!after.IsNull() && !original.IsNull() &&
        (after.Width() != original.Width() || after.Height() != original.Height())) {
        row.sizeChanged = true;
        row.fromWidth = original.Width();
        row.fromHeight = original.Height();
        row.toWidth = after.Width();
        row.toHeight = after.Height();
    }
    // Only the 18-bit kinds and .raw pictures lose anything: a 32-bit .k keeps every
    // channel and a .g keeps its picture.
    const bool lossy = row.kind == pkK18Masked || row.kind == pkK18 || row.kind == pkRaw;
    if (lossy) ComparePixels(LoadBitmap(entry.sourcePath), after, row);
    return row;
}

const char* KindWord(TPictureKind kind) {
    switch (kind) {
        case pkRaw:
            return ".raw";
        case pkK18Masked:
            return "18-bit .k with mask";
        case pkK18:
            return "18-bit .k";
        case pkK32:
            return "32-bit .k";
        case pkG:
            return ".g";
        case pkOther:
            break;
    }
    return "no picture";
}

std::string Pad(std::string text, std::size_t width) {
    std::size_t shown = 0;
    for (char c : text) shown += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (shown < width) text.append(width - shown, ' ');
    return text;
}

}  // namespace

FolderCheck CheckFolder(const std::string& packFolder) {
    NullProgress progress;
    NullMessages messages;
    const PackPlan plan = PlanPack(packFolder, progress, messages);
    FolderCheck check;
    if (!plan.structureFound) {
        check.failurePath = packFolder + "iconres.dat";
        check.failure = kNoStructureFileText;
        return check;
    }
    check.ignored = plan.ignored;
    check.warnings = plan.warnings;
    if (PlansNothing(plan)) {
        check.failurePath = packFolder + "icons/";
        check.failure = kNoIconsText;
        return check;
    }
    try {
        PackHeaderText(packFolder);
        for (const PlannedEntry& entry : plan.entries) {
            check.rows.push_back(CheckEntry(packFolder, entry, plan.slotCount));
        }
    } catch (const Error& e) {
        check.failurePath = e.Path();
        check.failure = e.what();
    }
    for (const TConvRec& rec : plan.dropped) {
        CheckRow row;
        row.slot = rec.SlotIndex;
        row.entry = row.packedName = rec.RawName;
        row.kind = static_cast<TPictureKind>(rec.Kind);
        row.action = CheckAction::LeftEmpty;
        const bool copied = FileExists(packFolder + "raws/" + rec.RawName);
        row.note = copied ? "icon deleted" : "icon and copy in raws/ missing";
        check.rows.push_back(std::move(row));
    }
    return check;
}

std::string CheckTable(const FolderCheck& check) {
    std::size_t nameWidth = 5;
    for (const CheckRow& row : check.rows) nameWidth = std::max(nameWidth, DisplayName(row.entry).size());
    nameWidth = std::min<std::size_t>(nameWidth, 40);
    std::string text = Pad(" slot", 7) + Pad("entry", nameWidth + 2) + "what packing does\n";
    std::size_t carried = 0, encoded = 0, empty = 0, resized = 0, alpha = 0, rounded = 0;
    for (const CheckRow& row : check.rows) {
        std::string what;
        std::vector<std::string> findings;  // each on a line of its own under the entry
        switch (row.action) {
            case CheckAction::Carried:
                ++carried;
                what = "carried unchanged from " + DisplayName(row.source) + " (" + row.note + ")";
                break;
            case CheckAction::Encoded:
                ++encoded;
                what = "encoded again from " + DisplayName(row.source) + " into " + KindWord(row.kind);
                if (row.packedName != row.entry) what += " as " + DisplayName(row.packedName);
                if (!row.note.empty()) what += " (" + row.note + ")";
                break;
            case CheckAction::LeftEmpty:
                ++empty;
                what = "slot left empty (" + row.note + ")";
                break;
        }
        if (row.sizeChanged) {
            ++resized;
            findings.push_back("SIZE CHANGED " + std::to_string(row.fromWidth) + "x" + std::to_string(row.fromHeight) +
                               " to " + std::to_string(row.toWidth) + "x" + std::to_string(row.toHeight));
        }
        if (row.softAlphaLost > 0) {
            ++alpha;
            findings.push_back("SOFT ALPHA LOST on " + std::to_string(row.softAlphaLost) + " pixels");
        }
        if (row.colourError > 0) {
            ++rounded;
            findings.push_back("colours rounded (largest channel error " + std::to_string(row.colourError) + ")");
        }
        std::string slot = std::to_string(row.slot);
        text += std::string(slot.size() < 5 ? 5 - slot.size() : 0, ' ') + slot + "  " +
                Pad(DisplayName(row.entry), nameWidth) + "  " + what + "\n";
        for (const std::string& f : findings) text += Pad("", 7 + nameWidth + 2) + f + "\n";
    }
    for (const std::string& name : check.ignored) {
        text += Pad("", 7) + Pad(DisplayName(name), nameWidth) + "  ignored: icons/" + DisplayName(name) +
                " (no record of a picture names it)\n";
    }
    for (const PackWarning& w : check.warnings) text += "warning: " + DisplayName(w.path) + ": " + w.text + "\n";
    text += std::to_string(check.rows.size() - empty) + " entries: " + std::to_string(carried) +
            " carried unchanged, " + std::to_string(encoded) + " encoded again; " + std::to_string(empty) +
            " slots left empty\n" + std::to_string(resized) + " sizes changed, " + std::to_string(alpha) +
            " with soft alpha lost, " + std::to_string(rounded) + " with colours rounded; " +
            std::to_string(check.ignored.size()) + " files ignored\n";
    text += check.Packable() ? "packing would succeed\n"
                             : "packing would fail: " + DisplayName(check.failurePath) + ": " + check.failure + "\n";
    return text;
}

}  // namespace tavro
