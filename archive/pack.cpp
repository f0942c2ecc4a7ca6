// Packing a folder left by an extraction back into an archive, in stages: the
// structure file is read, the entries planned (PlanPack), the icons converted back,
// the archive's front laid out, and the entries written.
//
// The archive written:
//   offset           size      meaning
//   0                H         iconres.hdr, bytes 16-23 replaced by P in lower-case hex
//   H                names     per packed icon in packing order: its name and LF
//   ...              0-3       zero bytes up to a multiple of 4
//   P                20        0xABCDDCBA, H, N, P + 20, P + 20 + 12 N
//   P + 20           12 N      ID table in slot order; a slot without icon is 12 bytes FF
//   P + 20 + 12 N    ...       per packed icon in packing order: 0xDCBAABCD, S, S bytes
// Name offsets sum (name length + 1) and data offsets sum (S + 8) over the icons
// packed before, both in packing order (ascending RawName).
//
// Where each present slot's entry comes from, the first rule that applies:
//   - an entry that is no picture (pkOther): its copy in raws/, byte for byte;
//   - a picture whose icon is in icons/ (a dot-file too):
//       a .raw picture whose icon is no GIF or PNG and whose copy in raws/ decodes to
//       exactly the icon's pixels: that copy, byte for byte, so that an unchanged
//       folder packs back identically;
//       otherwise the icon, converted back into its handset form in memory and kept
//       until it is copied, in one scratch file in conv/ for all icons (ConvertedIcons);
//   - a picture whose icon is missing: its copy in raws/ when that does not decode
//     (extraction gave it no icon), otherwise nothing: the user deleted it.
//
// The archive is built whole in a new file before it takes the output's place
// (ArchiveOutput), so that a packing that fails leaves an existing archive as it was.
// A folder whose unpacking did not finish, a header text that is no archive header
// and a structure record of a kind that does not exist are refused before that.
#include "archive/pack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <set>

#include "archive/convertedicons.h"
#include "archive/nameindex.h"
#include "imaging/standard.h"
#include "imaging/bytes.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/paths.h"

namespace tavro {

namespace {

constexpr std::size_t kDataRecordHeaderSize = 8;  // magic and size before the bytes
constexpr std::uint64_t kMaxOffset = 0xFFFFFFFF;  // a name or data offset is one word

// The conversion folder of one packing: files of it this run has used and not yet
// copied are removed when the packing stops early, and the folder itself is removed
// at the end when it ends up empty.
class ConvFolderScope {
public:
    explicit ConvFolderScope(std::string folder) : folder_(std::move(folder)), existed_(!MakeFolder(folder_)) {}
    ~ConvFolderScope() {
        for (const std::string& path : pending_) RemoveFile(path);
        RemoveFolder(folder_);
    }
    ConvFolderScope(const ConvFolderScope&) = delete;
    ConvFolderScope& operator=(const ConvFolderScope&) = delete;

    void Written(const std::string& path) { pending_.push_back(path); }
    // An icon converted under this path: a file left there by an earlier run goes,
    // as writing the converted file over it and copying that once removed it.
    void Replaced(const std::string& path) {
        if (existed_) RemoveFile(path);
    }
    // Every converted file has been copied (and deleted, where that worked).
    void AllCopied() { pending_.clear(); }

private:
    std::string folder_;
    bool existed_;
    std::vector<std::string> pending_;
};

// The system's temporary folder, ending with "/".
std::string SystemTempFolder() {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    return ec ? std::string("/tmp/") : WithTrailingSlash(folder.string());
}

// The file the archive is built in, and how it then takes the output's place:
//   - normally a ReplacementFile beside the output: the archive replaces it whole;
//   - when the output's folder lets no file be created but the output exists and may
//     be written: an unnamed file in the system's temporary folder, and only once the
//     whole archive stands there, it is written over the output in place, with the
//     room it needs reserved first. This one way can leave a torn archive when the
//     program is killed while it copies.
// Until Commit, the output is untouched.
class ArchiveOutput {
public:
    explicit ArchiveOutput(const std::string& outputPath) : destination_(outputPath) {
        try {
            replacement_.emplace(outputPath);
            return;
        } catch (const IoError& e) {
            if (!IsAccessDenied(e.Code()) || !FileExists(outputPath) || WriteProtection(outputPath) != 0) throw;
        }
        scratch_ = File::CreateUnnamed(SystemTempFolder());
    }
    ArchiveOutput(const ArchiveOutput&) = delete;
    ArchiveOutput& operator=(const ArchiveOutput&) = delete;

    void Write(std::span<const std::uint8_t> bytes) {
        if (replacement_) {
            replacement_->Write(bytes);
        } else {
            scratch_.Write(bytes);
        }
    }

    // The complete archive takes the output's place.
    void Commit() {
        if (replacement_) {
            replacement_->Commit();
        } else {
            CopyOver();
        }
    }

private:
    // Writes the built archive over the output's bytes, then cuts it to its length.
    void CopyOver() {
        const std::uint64_t size = scratch_.Size();
        File out = File::OpenWrite(destination_);
        // The blocks beyond the old archive's end are taken before its first byte
        // changes, so that a full disk stops the copy while the old archive is whole.
        // A file system without the call goes on unprotected.
        if (::fallocate(out.Descriptor(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) != 0 &&
            errno != EOPNOTSUPP && errno != ENOSYS) {
            ThrowIoError(destination_);
        }
        std::vector<std::uint8_t> buffer(1 << 16);
        for (std::uint64_t at = 0; at < size;) {
            const std::size_t n = scratch_.ReadAt(at, buffer.data(), buffer.size());
            if (n == 0) break;
            out.Write(std::span<const std::uint8_t>(buffer.data(), n));
            at += n;
        }
        out.Truncate(size);
        out.Sync();
        out.Close();
        scratch_.Close();
    }

    std::string destination_;
    std::optional<ReplacementFile> replacement_;
    File scratch_;
};

// The size of a converted file: one stat instead of opening it.
std::uint64_t ConvertedSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) ThrowIoError(path);
    if (S_ISDIR(st.st_mode)) ThrowIoError(EISDIR, path);
    return static_cast<std::uint64_t>(st.st_size);
}

// A record of an entry that is no picture: it has no icon and no writer.
bool IsNoPicture(const TConvRec& rec) { return rec.Kind == pkOther; }

[[noreturn]] void ThrowTooLarge(const std::string& path, std::uint64_t size) {
    throw DataError(ErrorCause::TooLarge, path,
                    "the converted icon has " + std::to_string(size) + " bytes, more than " +
                        std::to_string(kPictureAreaSize));
}

// The folders of one packing and the file names the records lead to.
struct PackFolder {
    explicit PackFolder(const std::string& folder)
        : structurePath(folder + "iconres.dat"),
          iconsFolder(folder + "icons/"),
          rawsFolder(folder + "raws/"),
          convPrefix(folder + "conv/") {}

    std::string structurePath;
    std::string iconsFolder;
    std::string rawsFolder;
    std::string convPrefix;

    // The path of the entry's copy in raws/; a name that would lead out of raws/ is refused.
    std::string RawCopy(const TConvRec& rec) const {
        if (const char* problem = UnsafeEntryNameReason(rec.RawName)) {
            throw DataError(ErrorCause::UnsafeName, structurePath,
                            "the entry name of slot " + std::to_string(rec.SlotIndex) + " " + problem +
                                ", so it names no file in raws/");
        }
        return rawsFolder + rec.RawName;
    }
};

// Tells the user about each source once, however often it is read, and keeps what
// it told.
class Warnings {
public:
    Warnings(MessageSink& messages, std::vector<PackWarning>* told) : messages_(messages), told_(told) {}
    void operator()(const std::string& path, const std::string& text) {
        if (!paths_.insert(path).second) return;
        messages_.ShowWarning(path, text);
        if (told_ != nullptr) told_->push_back({path, text});
    }
    // Sources told about before (while planning) are not told about again.
    void AlreadyTold(const std::vector<PackWarning>& warnings) {
        for (const PackWarning& w : warnings) paths_.insert(w.path);
    }

private:
    MessageSink& messages_;
    std::vector<PackWarning>* told_;
    std::set<std::string> paths_;
};

// Reads the whole of an open file of at most `limit` bytes, and closes it; a larger one
// is refused with "`what` has N bytes, more than `limit`".
std::vector<std::uint8_t> ReadBounded(File& file, const std::string& path, std::uint64_t limit,
                                      const std::string& what) {
    const std::uint64_t size = file.Size();
    if (size > limit) {
        throw DataError(ErrorCause::TooLarge, path,
                        what + " has " + std::to_string(size) + " bytes, more than " + std::to_string(limit));
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    bytes.resize(file.Read(bytes.data(), bytes.size()));
    file.Close();
    return bytes;
}

// One structure record at the reader's position; `i` of `count` for the messages.
TConvRec ReadRecord(const std::string& path, ByteReader& in, std::uint32_t i, std::uint32_t count) {
    TConvRec rec;
    rec.SlotIndex = in.U32();
    const std::uint32_t rawLength = in.U32();
    rec.RawName = in.Bytes(rawLength);
    const std::uint32_t iconLength = in.U32();
    rec.IconName = in.Bytes(iconLength);
    rec.Kind = in.U8();
    rec.NameHash = in.U32();
    rec.ResourceId = in.U32();
    if (in.Failed()) {
        throw DataError(ErrorCause::Truncated, path,
                        "structure record " + std::to_string(i) + " of " + std::to_string(count) +
                            " runs past the end of the file");
    }
    if (rec.RawName != kEmptySlotName && rec.Kind > pkOther) {
        throw DataError(ErrorCause::BadSignature, path,
                        "structure record " + std::to_string(i) + " (" + rec.RawName + ") has kind " +
                            std::to_string(rec.Kind) + ", which is no picture kind (0 to 5)");
    }
    return rec;
}

// Stage: the structure file. Its slot count, and the records of the present slots in
// file order. The records of pictures also go into `index`; those of entries that are
// no picture stay out of it: they are not looked up by icon name, and in the index
// they could only hide a picture entry whose decoded icon took the same name (x.bmp
// beside x.k, both giving x.bmp).
std::vector<TConvRec> ReadStructure(const std::string& path, File& file, TSearchTree& index,
                                    std::uint32_t& slotCount) {
    const std::vector<std::uint8_t> area = ReadBounded(file, path, kStructureAreaSize, "the structure file");
    ByteReader in(area);
    slotCount = in.U32();
    if (in.Failed())
        throw DataError(ErrorCause::Truncated, path,
                        "the structure file is too short to hold its record count");
    if (slotCount > kMaxSlots) {
        throw DataError(ErrorCause::BeyondLimit, path,
                        "the structure file has " + std::to_string(slotCount) + " slots, more than " +
                            std::to_string(kMaxSlots));
    }
    std::vector<TConvRec> present;
    for (std::uint32_t i = 0; i < slotCount; ++i) {
        TConvRec rec = ReadRecord(path, in, i, slotCount);
        if (rec.RawName == kEmptySlotName) continue;
        if (!IsNoPicture(rec)) TreeInsert(index, rec);
        present.push_back(std::move(rec));
    }
    return present;
}

// Stage: the icon files. Every regular file of icons/; a hidden one (a dot-file) only
// when a record names it, so that a stray editor file changes nothing. Each comes with
// the record found for its name (the not-found record when there is none).
std::vector<std::pair<std::string, TConvRec>> ListIcons(const PackFolder& folder, const TSearchTree& index) {
    std::vector<std::pair<std::string, TConvRec>> icons;
    for (std::string& name : ListRegularFiles(folder.iconsFolder)) {
        TConvRec rec = TreeFind(index, name);
        if (name[0] == '.' && rec.RawName.empty()) continue;
        icons.emplace_back(std::move(name), std::move(rec));
    }
    if (icons.size() > kMaxIconFiles) {
        throw DataError(ErrorCause::BeyondLimit, folder.iconsFolder,
                        "the folder holds " + std::to_string(icons.size()) + " icon files, more than " +
                            std::to_string(kMaxIconFiles));
    }
    return icons;
}

// Whether a .raw picture's icon is unchanged: no GIF or PNG (those become .g copies),
// and its copy in raws/ decodes to exactly the icon's pixels.
bool RawIconUnchanged(const PackFolder& folder, const TConvRec& rec, Warnings& warnings) {
    const std::string ext = UpperExtension(rec.IconName);
    if (ext == ".GIF" || ext == ".PNG") return false;
    const std::string copyPath = folder.RawCopy(rec);
    if (!FileExists(copyPath)) return false;
    const Bitmap copy = DecodeToBitmap(copyPath);
    if (copy.IsNull()) return false;
    const std::string iconPath = folder.iconsFolder + rec.IconName;
    DecodeNotes notes;
    const Bitmap icon = LoadBitmap(iconPath, &notes);
    if (notes.everyAlphaZero) warnings(iconPath, kEveryPixelTransparent);
    if (icon.Width() != copy.Width() || icon.Height() != copy.Height()) return false;
    for (int y = 0; y < copy.Height(); ++y) {
        if (!std::equal(copy.Row(y), copy.Row(y) + copy.Width(), icon.Row(y))) return false;
    }
    return true;
}

// An entry whose bytes come from its copy in raws/.
PlannedEntry RawCopyEntry(const PackFolder& folder, const TConvRec& rec) {
    const std::string copy = folder.RawCopy(rec);
    return PlannedEntry{rec, EntrySource::RawCopy, copy, copy};
}

// Stage: the entry an icon file of a picture's record makes.
PlannedEntry PlanIcon(const PackFolder& folder, const TConvRec& rec, Warnings& warnings) {
    if (rec.Kind == pkRaw && RawIconUnchanged(folder, rec, warnings)) return RawCopyEntry(folder, rec);
    const std::string raw =
        UnsafeEntryNameReason(rec.RawName) ? std::string() : folder.rawsFolder + rec.RawName;
    return PlannedEntry{rec, EntrySource::Icon, folder.iconsFolder + rec.IconName, raw};
}

// Stage: the entries that come from raws/ without an icon, in structure order: those
// that are no picture, and pictures whose icon is missing and whose copy does not
// decode. An entry whose copy is gone stays out, as does a picture whose icon was
// deleted.
void PlanRawCopies(const PackFolder& folder, const std::vector<TConvRec>& present,
                   const std::vector<std::string>& iconNames, std::vector<PlannedEntry>& entries,
                   std::vector<TConvRec>& dropped) {
    for (const TConvRec& rec : present) {
        const bool picture = !IsNoPicture(rec);
        if (picture && std::binary_search(iconNames.begin(), iconNames.end(), rec.IconName)) continue;
        const std::string copyPath = folder.RawCopy(rec);
        if (!FileExists(copyPath) || (picture && PictureDecodes(copyPath))) {
            dropped.push_back(rec);
        } else {
            entries.push_back(RawCopyEntry(folder, rec));
        }
    }
}

// The entries in packing order: ascending RawName, ties in the order given.
std::vector<PlannedEntry> InPackingOrder(std::vector<PlannedEntry> entries) {
    std::vector<TConvRec> records;
    records.reserve(entries.size());
    for (const PlannedEntry& e : entries) records.push_back(e.record);
    std::vector<PlannedEntry> ordered;
    ordered.reserve(entries.size());
    for (std::uint32_t i : SortByRawName(records)) ordered.push_back(std::move(entries[i]));
    return ordered;
}

// Stage: one icon converted back in memory. `converted` becomes the path it would
// have had in conv/; the result is nothing for a mode without a writer.
std::optional<EncodedPicture> ConvertIcon(const PackFolder& folder, const TConvRec& rec, ConvFolderScope& conv,
                                          Warnings& warnings, std::string& converted) {
    const std::string source = folder.iconsFolder + rec.IconName;
    const std::string unconverted = folder.convPrefix + rec.IconName;
    converted = unconverted;
    DecodeNotes notes;
    std::optional<EncodedPicture> picture;
    try {
        picture = EncodePictureBytes(source, rec.Kind, converted, kPictureAreaSize, &notes);
    } catch (...) {
        // The encoder names its output before making it, and writing it would have
        // replaced what stood there.
        if (converted != unconverted) conv.Replaced(converted);
        throw;
    }
    if (notes.everyAlphaZero) warnings(source, kEveryPixelTransparent);
    if (picture) {
        conv.Replaced(converted);
    } else {
        conv.Written(converted);  // no writer: conv/ may hold a file of that name
    }
    return picture;
}

// The name an entry is packed under: the file name of what is copied into it, which
// the archive must be able to give back.
std::string PackedName(const std::string& source, const std::string& copied) {
    std::string name = FileNamePart(copied);
    if (name.size() > kMaxNameLength) {
        throw DataError(ErrorCause::UnsafeName, source,
                        "the packed name " + name + " has " + std::to_string(name.size()) +
                            " bytes; the archive holds names of at most " + std::to_string(kMaxNameLength));
    }
    if (name.find('\n') != std::string::npos) {
        throw DataError(ErrorCause::UnsafeName, source,
                        "the packed name contains an LF, which ends names in the archive");
    }
    return name;
}

// The header text from iconres.hdr, the front of the new archive.
std::vector<std::uint8_t> ReadHeaderText(const std::string& headerPath) {
    File header = File::OpenRead(headerPath);
    std::vector<std::uint8_t> front = ReadBounded(header, headerPath, kMaxHeaderSize, "the header text");
    if (front.size() < kMinHeaderSize) {
        throw DataError(ErrorCause::Truncated, headerPath,
                        "the header text has " + std::to_string(front.size()) +
                            " bytes, too few to hold the table position at offset 16 (at least " +
                            std::to_string(kMinHeaderSize) + ")");
    }
    if (!std::equal(kArchiveSignature, kArchiveSignature + kArchiveSignatureSize, front.begin())) {
        throw DataError(ErrorCause::BadSignature, headerPath,
                        std::string("the header text does not begin with the archive signature \"") +
                            kArchiveSignature + "\", so it is no archive header");
    }
    return front;
}

// An entry ready to be written: its name in the archive, its size and where its
// bytes are.
struct PackedEntry {
    std::uint32_t slot = 0;
    std::uint32_t resourceId = 0;
    std::string name;
    std::string file;  // what the data record is copied from
    std::uint64_t size = 0;
    bool converted = false;  // a file in conv/, removed once copied
    bool kept = false;       // or one of the converted icons
};

// The resources one packing converts with.
struct Converter {
    const PackFolder& folder;
    ConvFolderScope& conv;
    ConvertedIcons& icons;
    Warnings& warnings;
};

// A record must name one of the structure's slots.
void RequireSlot(const PackFolder& folder, const TConvRec& rec, std::uint32_t slotCount) {
    if (rec.SlotIndex >= slotCount) {
        throw DataError(ErrorCause::BeyondLimit, folder.structurePath,
                        "the record of " + rec.IconName + " names slot " + std::to_string(rec.SlotIndex) +
                            ", but there are only " + std::to_string(slotCount) + " slots");
    }
}

// Stage: one planned entry converted (an icon) or measured (a raw copy).
PackedEntry ConvertEntry(const Converter& c, const PlannedEntry& entry, std::uint32_t slotCount) {
    const TConvRec& rec = entry.record;
    RequireSlot(c.folder, rec, slotCount);
    const bool fromIcon = entry.Reencoded();
    std::string file = entry.sourcePath;
    std::optional<EncodedPicture> picture;
    if (fromIcon) picture = ConvertIcon(c.folder, rec, c.conv, c.warnings, file);
    std::string name = PackedName(entry.sourcePath, file);
    // Without a writer, the icon is what conv/ holds under its name: one converted
    // earlier in this run, or a file.
    const std::optional<std::uint64_t> stored = (fromIcon && !picture) ? c.icons.SizeOf(name) : std::nullopt;
    const std::uint64_t size = picture ? picture->size : stored ? *stored : ConvertedSize(file);
    if (size > kPictureAreaSize) ThrowTooLarge(file, size);
    if (picture) c.icons.Store(name, picture->bytes);
    return PackedEntry{rec.SlotIndex, rec.ResourceId, std::move(name),  std::move(file),
                       size,          fromIcon,       picture || stored};
}

// The progress bar of the conversion and the copying passes: it counts every file
// considered, the ignored icon files (which sort first, having no name) included.
class PassProgress {
public:
    PassProgress(ProgressSink& progress, const PackPlan& plan)
        : progress_(progress), skipped_(plan.ignored.size()), steps_(skipped_ + plan.entries.size()) {}
    void Skipped() {
        for (std::size_t i = 0; i < skipped_; ++i) Set(i);
    }
    void Done(std::size_t entry) { Set(skipped_ + entry); }

private:
    void Set(std::size_t i) {
        progress_.SetPosition(ProgressPercent(static_cast<long long>(i), static_cast<long long>(steps_)));
    }
    ProgressSink& progress_;
    std::size_t skipped_;
    std::size_t steps_;
};

// Stage: the conversion pass, every planned entry in packing order.
std::vector<PackedEntry> ConvertEntries(const Converter& c, const PackPlan& plan, PassProgress& progress) {
    progress.Skipped();
    std::vector<PackedEntry> packed;
    packed.reserve(plan.entries.size());
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        packed.push_back(ConvertEntry(c, plan.entries[i], plan.slotCount));
        progress.Done(i);
    }
    return packed;
}

// Stage: the layout, from the header text and the packed entries to the archive's
// front: the header text with P, the names, alignment bytes, the table header and the
// ID table. Name offsets sum (name length + 1), data offsets (size + 8).
std::vector<std::uint8_t> LayOut(std::vector<std::uint8_t> front, std::uint32_t slotCount,
                                 const std::vector<PackedEntry>& packed) {
    const auto headerSize = static_cast<std::uint32_t>(front.size());
    std::vector<std::uint8_t> idTable(std::size_t{slotCount} * kSlotSize, 0xFF);
    std::uint64_t nameOffset = 0;
    std::uint64_t dataOffset = 0;
    for (const PackedEntry& e : packed) {
        if (dataOffset > kMaxOffset)
            throw DataError(ErrorCause::TooLarge, e.file,
                            "the archive's data area would pass 4 GiB at " + e.name);
        std::size_t pos = std::size_t{e.slot} * kSlotSize;
        PutU32(e.resourceId, pos, idTable.data());
        PutU32(static_cast<std::uint32_t>(nameOffset), pos, idTable.data());
        PutU32(static_cast<std::uint32_t>(dataOffset), pos, idTable.data());
        front.insert(front.end(), e.name.begin(), e.name.end());
        front.push_back('\n');
        nameOffset += e.name.size() + 1;
        dataOffset += e.size + kDataRecordHeaderSize;
    }
    while (front.size() % 4 != 0) front.push_back(0);
    const auto p = static_cast<std::uint32_t>(front.size());
    const std::string digits = FormatOffsetField(p);
    std::copy(digits.begin(), digits.end(), front.begin() + kOffsetFieldPos);

    std::size_t pos = front.size();
    front.resize(pos + kTableHeaderSize);
    PutU32(TableHeaderMagic, pos, front.data());
    PutU32(headerSize, pos, front.data());
    PutU32(slotCount, pos, front.data());
    PutU32(p + static_cast<std::uint32_t>(kTableHeaderSize), pos, front.data());
    PutU32(p + static_cast<std::uint32_t>(kTableHeaderSize + kSlotSize * slotCount), pos, front.data());
    front.insert(front.end(), idTable.begin(), idTable.end());
    return front;
}

// What ReadPacked found: the size the source had, and the bytes read of it.
struct EntryRead {
    std::uint64_t size = 0;
    std::size_t got = 0;
};

// Reads one packed entry's bytes into `bytes` (room for the picture area). A
// converted file is removed once read; raws/ stays as it is.
EntryRead ReadPacked(const PackedEntry& e, ConvertedIcons& icons, MessageSink& messages,
                     std::uint8_t* bytes) {
    const auto notFound = [&] {
        messages.ShowNotFound(e.name);
        ThrowFileNotOpen(e.file);
    };
    if (e.kept) {
        // Taken once, as copying a converted file removed it.
        const std::optional<std::size_t> taken = icons.Take(e.name, bytes);
        if (!taken) notFound();
        return {*taken, *taken};
    }
    File in;
    try {
        in = File::OpenRead(e.file);
    } catch (const IoError&) {
        notFound();
    }
    const std::uint64_t size = in.Size();
    if (size > kPictureAreaSize) ThrowTooLarge(e.file, size);
    const std::size_t got = in.Read(bytes, static_cast<std::size_t>(size));
    in.Close();
    if (e.converted) RemoveFile(e.file);
    return {size, got};
}

// Stage: the data pass. Each entry copied in one write with its record header, whose
// size word is the size its file had when opened.
void CopyEntries(const std::vector<PackedEntry>& packed, ConvertedIcons& icons, ArchiveOutput& out,
                 MessageSink& messages, PassProgress& progress) {
    std::vector<std::uint8_t> record(kDataRecordHeaderSize + kPictureAreaSize);
    for (std::size_t i = 0; i < packed.size(); ++i) {
        const EntryRead read = ReadPacked(packed[i], icons, messages, record.data() + kDataRecordHeaderSize);
        store_u32le(record.data(), DataRecordMagic);
        store_u32le(record.data() + 4, static_cast<std::uint32_t>(read.size));
        out.Write(std::span<const std::uint8_t>(record.data(), kDataRecordHeaderSize + read.got));
        progress.Done(i);
    }
}

}  // namespace

int CompareRawNames(const TConvRec& a, const TConvRec& b) {
    // std::string compares its bytes as unsigned char, the shorter name first on a tie.
    int c = a.RawName.compare(b.RawName);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::vector<std::uint32_t> SortByRawName(const std::vector<TConvRec>& found) {
    // A stable sort by RawName gives exactly the order of repeatedly taking the first
    // smallest record of the rest, in n log n instead of n squared.
    std::vector<std::uint32_t> order(found.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
    std::stable_sort(order.begin(), order.end(), [&found](std::uint32_t a, std::uint32_t b) {
        return CompareRawNames(found[a], found[b]) < 0;
    });
    return order;
}

PackPlan PlanPack(const std::string& packFolder, ProgressSink& progress, MessageSink& messages) {
    const PackFolder folder(packFolder);
    if (FileExists(packFolder + kUnfinishedMarkName)) {
        throw DataError(ErrorCause::Refused, packFolder,
                        "an unpacking into this folder did not finish, so its files are a mixture "
                        "of two runs; unpack the archive again");
    }
    PackPlan plan;
    File structureFile;
    try {
        structureFile = File::OpenRead(folder.structurePath);
    } catch (const IoError&) {
        return plan;
    }
    plan.structureFound = true;
    TSearchTree index;
    const std::vector<TConvRec> present =
        ReadStructure(folder.structurePath, structureFile, index, plan.slotCount);

    progress.Show();
    ProgressCloser closer(progress);
    progress.SetCaption("Searching for files");
    const std::vector<std::pair<std::string, TConvRec>> icons = ListIcons(folder, index);

    progress.SetCaption("Retrieving skin structure");
    Warnings warnings(messages, &plan.warnings);
    std::vector<PlannedEntry> entries;
    std::vector<std::string> iconNames;
    for (const auto& [name, rec] : icons) {
        iconNames.push_back(name);
        if (IsNoPicture(rec)) {
            plan.ignored.push_back(name);  // no record, or one of no picture
        } else {
            entries.push_back(PlanIcon(folder, rec, warnings));
        }
    }
    PlanRawCopies(folder, present, iconNames, entries, plan.dropped);
    plan.entries = InPackingOrder(std::move(entries));
    closer.Disarm();
    return plan;
}

bool PlansNothing(const PackPlan& plan) {
    // A folder whose icons all add nothing still packs: an archive of empty slots.
    return plan.entries.empty() && plan.ignored.empty();
}

std::vector<std::uint8_t> PackHeaderText(const std::string& packFolder) {
    return ReadHeaderText(packFolder + "iconres.hdr");
}

DryPackedEntry DryConvertEntry(const std::string& packFolder, const PlannedEntry& entry, std::uint32_t slotCount) {
    const PackFolder folder(packFolder);
    RequireSlot(folder, entry.record, slotCount);
    DryPackedEntry dry;
    std::string file = entry.sourcePath;
    if (entry.Reencoded()) {
        // ConvertIcon's conversion, kept in memory only.
        file = folder.convPrefix + entry.record.IconName;
        DecodeNotes notes;
        dry.picture = EncodePictureBytes(entry.sourcePath, entry.record.Kind, file, kPictureAreaSize, &notes);
    }
    dry.name = PackedName(entry.sourcePath, file);
    dry.size = dry.picture ? dry.picture->size : entry.Reencoded() ? 0 : ConvertedSize(file);
    if (dry.size > kPictureAreaSize) ThrowTooLarge(file, dry.size);
    return dry;
}

PackResult PackArchive(const std::string& packFolder, const std::string& outputPath, ProgressSink& progress,
                       MessageSink& messages) {
    const PackPlan plan = PlanPack(packFolder, progress, messages);
    if (!plan.structureFound) return PackResult::NoStructureFile;
    ProgressCloser closer(progress);
    if (PlansNothing(plan)) {
        closer.Disarm();
        progress.Close();
        return PackResult::NoIcons;
    }
    const PackFolder folder(packFolder);
    ConvFolderScope conv(packFolder + "conv");
    ConvertedIcons icons(folder.convPrefix);
    Warnings warnings(messages, nullptr);
    warnings.AlreadyTold(plan.warnings);
    PassProgress pass(progress, plan);

    ArchiveOutput out(outputPath);
    std::vector<std::uint8_t> header = ReadHeaderText(packFolder + "iconres.hdr");
    const std::vector<PackedEntry> packed =
        ConvertEntries(Converter{folder, conv, icons, warnings}, plan, pass);
    progress.SetPosition(0);
    const std::vector<std::uint8_t> front = LayOut(std::move(header), plan.slotCount, packed);
    progress.SetCaption("Packing icons");
    out.Write(front);
    CopyEntries(packed, icons, out, messages, pass);
    conv.AllCopied();
    out.Commit();

    closer.Disarm();
    progress.Close();
    return PackResult::Packed;
}

}  // namespace tavro
