// Unpacking an iconres.ezx into a folder.
//
// Where extraction finds things in the archive:
//   offset                          size     meaning
//   0                               <=1575   copied whole into iconres.hdr
//   16                              8        P as hexadecimal digits
//   P + 4                           16       names base, N, ID table offset, data base
//   ID table offset                 12 x N   ResourceId, name offset, data offset
//   names base + name offset        <=100    the name, up to the first LF
//   data base + data offset + 4     4        size S
//   data base + data offset + 8     S        the picture, copied into raws/
// Offsets are 32-bit words; their sums are formed in 64 bits so that none wraps.
#include "archive/extract.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "archive/format.h"
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

// The kind of a raw copy whose decoding failed: what recognition says, or pkOther
// when even recognition cannot read it.
TPictureKind KindAfterFailedDecode(const std::string& rawPath) {
    try {
        return DetectPictureKind(rawPath);
    } catch (const DataError&) {
        return pkOther;
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

    // The picture area holds in turn the header copy, each name and each picture.
    std::vector<std::uint8_t> picture(kPictureAreaSize);

    File archive = File::OpenRead(archivePath);
    const std::size_t headerRead = archive.ReadAt(0, picture.data(), kHeaderCopySize);
    WriteWholeFile(targetFolder + "iconres.hdr", std::span<const std::uint8_t>(picture.data(), headerRead));

    // Either folder may exist already; a folder that cannot be made shows up as the
    // first raw copy that cannot be created.
    MakeFolder(targetFolder + "raws");
    MakeFolder(targetFolder + "icons");

    if (headerRead < kMinHeaderSize) {
        throw DataError(archivePath, "the archive is too short (" + std::to_string(headerRead) +
                                         " bytes) to hold the table position at offset 16");
    }
    const std::uint32_t p = ParseOffsetField(picture.data() + kOffsetFieldPos);

    std::uint8_t table[kTableHeaderSize];
    if (archive.ReadAt(p, table, kTableHeaderSize) < kTableHeaderSize) {
        throw DataError(archivePath, "the table header at offset " + std::to_string(p) +
                                         " lies past the end of the archive");
    }
    const std::uint64_t namesBase = load_u32le(table + 4);
    const std::uint32_t n = load_u32le(table + 8);
    const std::uint64_t idTableOffset = load_u32le(table + 12);
    const std::uint64_t dataBase = load_u32le(table + 16);
    if (n > kMaxSlots) {
        throw DataError(archivePath, "the archive has " + std::to_string(n) + " slots, more than " +
                                         std::to_string(kMaxSlots));
    }

    std::vector<std::uint8_t> idTable(std::size_t{n} * kSlotSize);
    if (archive.ReadAt(idTableOffset, idTable.data(), idTable.size()) < idTable.size()) {
        throw DataError(archivePath, "the ID table of " + std::to_string(n) + " slots at offset " +
                                         std::to_string(idTableOffset) + " runs past the end of the archive");
    }

    // Created now and written at the end: a run that stops early leaves it empty, so
    // that a half-extracted folder cannot be packed as if it were complete.
    File structureFile = File::Create(targetFolder + "iconres.dat");
    std::vector<std::uint8_t> structure(kStructureAreaSize);
    std::size_t structurePos = kStructureCountSize;

    const std::string rawsFolder = targetFolder + "raws/";
    const std::string iconsFolder = targetFolder + "icons/";
    const std::string targetExtension = TargetExtensions[target];

    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint8_t* slot = idTable.data() + std::size_t{i} * kSlotSize;
        const std::uint32_t resourceId = load_u32le(slot);
        const std::uint32_t nameOffset = load_u32le(slot + 4);
        const std::uint64_t dataOffset = load_u32le(slot + 8);

        std::string name;
        if (nameOffset != NoEntry) {
            // A name whose bytes lie past the end of the archive is shorter, or empty.
            std::size_t got = archive.ReadAt(namesBase + nameOffset, picture.data(), kNameReadSize);
            auto end = std::find(picture.begin(), picture.begin() + static_cast<std::ptrdiff_t>(got), '\n');
            if (end == picture.begin() + static_cast<std::ptrdiff_t>(got) && got == kNameReadSize) {
                throw DataError(archivePath, "the name of " + SlotText(i) + " has no LF in its first " +
                                                 std::to_string(kNameReadSize) + " bytes");
            }
            name.assign(picture.begin(), end);
        }

        TConvRec rec;
        rec.SlotIndex = i;
        rec.ResourceId = resourceId;
        if (name.empty()) {
            // An empty slot, or a name that is empty: no files and no list line, and the
            // record of an empty slot, which packing leaves empty.
            rec.RawName = kEmptySlotName;
            rec.IconName = kEmptySlotName;
            rec.Kind = pkOther;
        } else {
            CheckEntryName(archivePath, i, name);
            // A size word past the end of the archive reads as 0: nothing to copy.
            std::uint8_t sizeWord[4] = {0, 0, 0, 0};
            if (archive.ReadAt(dataBase + dataOffset + 4, sizeWord, 4) < 4) std::fill_n(sizeWord, 4, 0);
            const std::uint32_t size = load_u32le(sizeWord);
            if (size > kPictureAreaSize) {
                throw DataError(archivePath, "the picture of " + SlotText(i) + " (" + name + ") has " +
                                                 std::to_string(size) + " bytes, more than " +
                                                 std::to_string(kPictureAreaSize));
            }
            const std::string rawPath = rawsFolder + name;
            File raw;
            try {
                raw = File::Create(rawPath);
            } catch (const IoError&) {
                messages.ShowError(rawPath);
                ThrowFileNotOpen(rawPath);
            }
            const std::size_t got = archive.ReadAt(dataBase + dataOffset + 8, picture.data(), size);
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
                // its list line and record stay.
                kind = KindAfterFailedDecode(rawPath);
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
