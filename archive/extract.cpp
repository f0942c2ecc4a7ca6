// Unpacking an iconres.ezx into a folder: iconres.hdr (the first 1575 bytes), raws/
// (every entry byte for byte), icons/ (every handset picture decoded) and iconres.dat
// (one structure record per slot). The archive's slots are read through ArchiveReader.
//
// The whole archive is checked before the first byte reaches the folder (the ID
// table, every name, every size, the structure file's size), so that a refused
// archive leaves the folder exactly as it was. Then, in this order:
//   1. iconres.unfinished is written: the folder is now a mixture until step 4;
//   2. raws/ and icons/, every file replaced whole (ReplacementFile), without a
//      flush per file, and then one flush of the whole file system;
//   3. iconres.hdr and iconres.dat, each replaced whole and flushed;
//   4. iconres.unfinished is removed.
// A kill or a failure anywhere leaves every file old or new and the mark in place,
// which packing refuses.
#include "archive/extract.h"

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

#include "archive/format.h"
#include "archive/reader.h"
#include "imaging/bytes.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/paths.h"

namespace tavro {

namespace {

constexpr const char* kUnfinishedText =
    "An unpacking into this folder did not finish: its files are a mixture of two runs.\n"
    "Unpack the archive again before packing this folder.\n";

std::string SlotText(std::uint32_t slot) { return "slot " + std::to_string(slot); }

// An entry name becomes a file name inside raws/ and icons/: it must name a file in
// that folder and nothing else.
void CheckEntryName(const std::string& archivePath, std::uint32_t slot, const std::string& name) {
    if (const char* problem = UnsafeEntryNameReason(name)) {
        throw DataError(
            ErrorCause::UnsafeName, archivePath,
            "the name of " + SlotText(slot) + " " + problem + ", so it cannot be used as a file name");
    }
}

// What the check pass decides for one slot.
struct SlotPlan {
    ArchiveSlot slot;
    bool unpacked = false;  // gets files: present, and the first slot of its name
};

// The check pass: every slot read and every name checked, slots that repeat an
// earlier slot's name found (each is told to `warnings`), and the structure file's
// size computed from the names alone (a .g's icon extension, set by its content, is
// 4 bytes whatever it is, as the target format's).
std::vector<SlotPlan> PlanSlots(const std::string& archivePath, ArchiveReader& archive,
                                const std::string& targetExtension, std::vector<std::string>& warnings) {
    std::vector<SlotPlan> plan;
    plan.reserve(archive.SlotCount());
    std::map<std::string, std::uint32_t> firstOfName;
    std::size_t structureSize = kStructureCountSize;
    for (std::uint32_t i = 0; i < archive.SlotCount(); ++i) {
        SlotPlan p{archive.ReadSlot(i)};
        TConvRec rec;
        rec.RawName = rec.IconName = kEmptySlotName;
        if (!p.slot.empty) {
            CheckEntryName(archivePath, i, p.slot.name);
            const auto [first, isFirst] = firstOfName.emplace(p.slot.name, i);
            p.unpacked = isFirst;
            if (isFirst) {
                rec.RawName = p.slot.name;
                rec.IconName = ChangeExtension(p.slot.name, targetExtension);
            } else {
                warnings.push_back(SlotText(i) + " has the name " + p.slot.name + " of " +
                                   SlotText(first->second) + ", which its files would replace: it is not "
                                   "unpacked, and packing this folder leaves it empty");
            }
        }
        structureSize += StructureRecordSize(rec);
        if (structureSize > kStructureAreaSize) {
            throw DataError(ErrorCause::TooLarge, archivePath,
                            "the structure records grow past " +
                                std::to_string(kStructureAreaSize - kStructureCountSize) + " bytes at " +
                                SlotText(i));
        }
        plan.push_back(std::move(p));
    }
    return plan;
}

// Writes one entry's copy into raws/. A copy that cannot be created shows the "Error"
// box with its path; access refused (a read-only copy from an earlier unpacking) is
// then said as such, any other failure is the file that could not be opened.
void WriteRawCopy(const std::string& rawPath, std::span<const std::uint8_t> bytes, MessageSink& messages) {
    std::optional<ReplacementFile> raw;
    try {
        raw.emplace(rawPath);
    } catch (const IoError& e) {
        messages.ShowError(rawPath);
        if (IsAccessDenied(e.Code())) throw;
        ThrowFileNotOpen(rawPath);
    }
    raw->Write(bytes);
    raw->Commit();
}

// The slot's structure record for a slot that gets no files: an empty slot, a name
// that is empty, or a name an earlier slot took.
TConvRec EmptyRecord(const ArchiveSlot& slot) {
    TConvRec rec;
    rec.SlotIndex = slot.index;
    rec.ResourceId = slot.resourceId;
    rec.RawName = kEmptySlotName;
    rec.IconName = kEmptySlotName;
    rec.Kind = pkOther;
    return rec;
}

// What unpacking writes into: the target folder's parts, and the target format.
struct Unpacking {
    std::string rawsFolder;
    std::string iconsFolder;
    TTargetFormat target;
    std::string targetExtension;
};

// Stage: one unpacked slot. Its copy into raws/, its line in the icon list, its icon
// into icons/; the result is its structure record. `area` holds the entry's bytes.
TConvRec UnpackSlot(const Unpacking& u, ArchiveReader& archive, const ArchiveSlot& slot,
                    std::vector<std::uint8_t>& area, IconList& icons, MessageSink& messages) {
    TConvRec rec = EmptyRecord(slot);
    const std::string rawPath = u.rawsFolder + slot.name;
    const std::size_t got = archive.ReadEntry(slot, area.data());
    WriteRawCopy(rawPath, std::span<const std::uint8_t>(area.data(), got), messages);
    rec.RawName = slot.name;
    icons.Append(rec.RawName);

    std::string iconPath = u.iconsFolder + ChangeExtension(rec.RawName, u.targetExtension);
    TPictureKind kind = pkOther;
    try {
        DecodePicture(rawPath, iconPath, u.target, kind);
    } catch (const DataError&) {
        // A damaged picture is a picture that does not decode: no icon file, but its
        // list line and record stay, with the kind recognition gave it.
    }
    rec.IconName = FileNamePart(iconPath);
    rec.Kind = kind;
    return rec;
}

// Stage: every slot unpacked in slot order, each file without a flush of its own and
// then one flush of the whole file system. The result is the structure file.
std::vector<std::uint8_t> UnpackSlots(const Unpacking& u, const std::string& targetFolder,
                                      ArchiveReader& archive, const std::vector<SlotPlan>& plan,
                                      ProgressSink& progress, IconList& icons, MessageSink& messages) {
    std::vector<std::uint8_t> structure(kStructureAreaSize);
    std::vector<std::uint8_t> picture(kPictureAreaSize);
    std::size_t structurePos = kStructureCountSize;
    const std::uint32_t n = archive.SlotCount();
    DeferredSync deferred;
    for (const SlotPlan& p : plan) {
        TConvRec rec =
            p.unpacked ? UnpackSlot(u, archive, p.slot, picture, icons, messages) : EmptyRecord(p.slot);
        rec.NameHash = HashName(rec.IconName);
        PutStructureRecord(rec, structurePos, structure.data());
        progress.SetPosition(ProgressPercent(p.slot.index, n));
    }
    deferred.Flush(targetFolder);
    store_u32le(structure.data(), n);
    structure.resize(structurePos);
    return structure;
}

// Stage: the folder marked unfinished, and raws/ and icons/ made. Either folder may
// exist already; one that cannot be made shows up as the first raw copy that cannot
// be created.
void BeginUnpacking(const std::string& targetFolder) {
    RequireFolder(targetFolder);
    WriteWholeFile(targetFolder + kUnfinishedMarkName,
                   std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(kUnfinishedText),
                                                 std::char_traits<char>::length(kUnfinishedText)));
    MakeFolder(targetFolder + "raws");
    MakeFolder(targetFolder + "icons");
}

}  // namespace

void ExtractArchive(const std::string& archivePath, const std::string& targetFolder, TTargetFormat target,
                    ProgressSink& progress, IconList& icons, MessageSink& messages) {
    if (target >= TargetExtensions.size()) {
        throw DataError(ErrorCause::BeyondLimit, archivePath,
                        "unknown target format " + std::to_string(static_cast<int>(target)));
    }
    progress.Show();
    ProgressCloser closer(progress);
    progress.SetCaption("Extracting icons");
    const Unpacking u{targetFolder + "raws/", targetFolder + "icons/", target, TargetExtensions[target]};

    // The check pass: nothing is written before it ends.
    ArchiveReader archive(archivePath);
    std::vector<std::string> warnings;
    const std::vector<SlotPlan> plan = PlanSlots(archivePath, archive, u.targetExtension, warnings);
    std::vector<std::uint8_t> header(kHeaderCopySize);
    header.resize(archive.ReadPrefix(header.data(), header.size()));

    BeginUnpacking(targetFolder);
    const std::vector<std::uint8_t> structure =
        UnpackSlots(u, targetFolder, archive, plan, progress, icons, messages);
    archive.Close();
    WriteWholeFile(targetFolder + "iconres.hdr", header);
    WriteWholeFile(targetFolder + "iconres.dat", structure);
    RemoveFile(targetFolder + kUnfinishedMarkName);

    for (const std::string& text : warnings) messages.ShowWarning(archivePath, text);
    icons.SelectFirst();
    closer.Disarm();
    progress.Close();
}

}  // namespace tavro
