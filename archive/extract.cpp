// Unpacking an iconres.ezx into a folder: iconres.hdr (the first 1575 bytes), raws/
// (every entry byte for byte), icons/ (every handset picture decoded) and iconres.dat
// (one structure record per slot, written at the end). The archive's slots are read
// through ArchiveReader.
#include "archive/extract.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "archive/format.h"
#include "archive/reader.h"
#include "archive/settings.h"
#include "imaging/bytes.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/paths.h"

namespace tavro {

namespace {

std::string SlotText(std::uint32_t slot) { return "slot " + std::to_string(slot); }

// An entry name becomes a file name inside raws/ and icons/: it must name a file in
// that folder and nothing else.
void CheckEntryName(const std::string& archivePath, std::uint32_t slot, const std::string& name) {
    if (const char* problem = UnsafeEntryNameReason(name)) {
        throw DataError(archivePath, "the name of " + SlotText(slot) + " " + problem +
                                         ", so it cannot be used as a file name");
    }
}

}  // namespace

void ExtractArchive(const std::string& archivePath, const std::string& targetFolder, ProgressSink& progress,
                    IconList& icons, MessageSink& messages) {
    const TTargetFormat target = AppSettings.TargetFormat;
    if (target >= TargetExtensions.size()) {
        throw std::invalid_argument("unknown target format " + std::to_string(static_cast<int>(target)));
    }
    progress.Show();
    ProgressCloser closer(progress);
    progress.SetCaption("Extracting icons");
    WorkFolder = targetFolder;

    // The picture area holds in turn the header copy and each entry's bytes.
    std::vector<std::uint8_t> picture(kPictureAreaSize);

    // The header copy is written before anything of the archive is interpreted.
    std::size_t headerRead = 0;
    {
        File archive = File::OpenRead(archivePath);
        headerRead = archive.ReadAt(0, picture.data(), kHeaderCopySize);
        archive.Close();
    }
    WriteWholeFile(targetFolder + "iconres.hdr", std::span<const std::uint8_t>(picture.data(), headerRead));

    // Either folder may exist already; a folder that cannot be made shows up as the
    // first raw copy that cannot be created.
    MakeFolder(targetFolder + "raws");
    MakeFolder(targetFolder + "icons");

    ArchiveReader archive(archivePath);
    const std::uint32_t n = archive.SlotCount();

    // Created now and written at the end: a run that stops early leaves it empty, so
    // that a half-extracted folder cannot be packed as if it were complete.
    File structureFile = File::Create(targetFolder + "iconres.dat");
    structureFile.Truncate(0);
    std::vector<std::uint8_t> structure(kStructureAreaSize);
    std::size_t structurePos = kStructureCountSize;

    const std::string rawsFolder = targetFolder + "raws/";
    const std::string iconsFolder = targetFolder + "icons/";
    const std::string targetExtension = TargetExtensions[target];

    for (std::uint32_t i = 0; i < n; ++i) {
        const ArchiveSlot slot = archive.ReadSlot(i);
        TConvRec rec;
        rec.SlotIndex = i;
        rec.ResourceId = slot.resourceId;
        if (slot.empty) {
            // An empty slot, or a name that is empty: no files and no list line, and the
            // record of an empty slot, which packing leaves empty.
            rec.RawName = kEmptySlotName;
            rec.IconName = kEmptySlotName;
            rec.Kind = pkOther;
        } else {
            CheckEntryName(archivePath, i, slot.name);
            const std::string rawPath = rawsFolder + slot.name;
            File raw;
            try {
                raw = File::Create(rawPath);
            } catch (const IoError& e) {
                messages.ShowError(rawPath);
                // Access refused (a read-only copy from an earlier unpacking) is said as
                // such; any other failure is the file that could not be opened.
                if (IsAccessDenied(e.Code())) throw;
                ThrowFileNotOpen(rawPath);
            }
            const std::size_t got = archive.ReadEntry(slot, picture.data());
            raw.Write(std::span<const std::uint8_t>(picture.data(), got));
            raw.Close();

            rec.RawName = FileNamePart(rawPath);
            icons.Append(rec.RawName);

            std::string iconPath = iconsFolder + ChangeExtension(rec.RawName, targetExtension);
            TPictureKind kind = pkOther;
            try {
                DecodePicture(rawPath, iconPath, target, kind);
            } catch (const DataError&) {
                // A damaged picture is a picture that does not decode: no icon file, but
                // its list line and record stay, with the kind recognition gave it.
            }
            rec.IconName = FileNamePart(iconPath);
            rec.Kind = kind;
        }
        rec.NameHash = HashName(rec.IconName);

        const std::size_t recordSize = StructureRecordSize(rec);
        if (!InBounds(structurePos, recordSize, structure.size())) {
            throw DataError(archivePath, "the structure records grow past " +
                                             std::to_string(kStructureAreaSize - kStructureCountSize) +
                                             " bytes at " + SlotText(i));
        }
        PutStructureRecord(rec, structurePos, structure.data());
        progress.SetPosition(ProgressPercent(i, n));
    }
    archive.Close();

    store_u32le(structure.data(), n);
    structureFile.Write(std::span<const std::uint8_t>(structure.data(), structurePos));
    structureFile.Close();

    icons.SelectFirst();
    closer.Disarm();
    progress.Close();
}

}  // namespace tavro
