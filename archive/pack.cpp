// Packing a folder left by an extraction back into an archive.
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
// Icons are converted back into their handset form in memory and kept, one scratch
// file for all of them, in conv/ until they are copied (ConvertedIcons). Entries that
// no writer can produce again (.raw pictures, entries that are no picture) are taken
// from their copies in raws/ instead, so that unpacking and packing an archive keeps
// them.
//
// The archive is built in a temporary file beside the output and renamed over it only
// when complete, so that a packing that fails leaves an existing archive as it was.
#include "archive/pack.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "archive/convertedicons.h"
#include "archive/nameindex.h"
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

// The temporary file the archive is built in; removed unless it was renamed.
class TempOutput {
public:
    TempOutput() = default;
    ~TempOutput() {
        if (!path_.empty()) RemoveFile(path_);
    }
    TempOutput(const TempOutput&) = delete;
    TempOutput& operator=(const TempOutput&) = delete;

    void Set(std::string path) { path_ = std::move(path); }
    void Release() { path_.clear(); }

private:
    std::string path_;
};

// Where the finished archive goes: a symbolic link is followed, so that the link
// stays and its target receives the archive.
std::string ResolveOutput(const std::string& outputPath) {
    struct stat st {};
    if (::lstat(outputPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(outputPath.c_str(), nullptr)) {
            std::string resolved = real;
            std::free(real);
            return resolved;
        }
    }
    return outputPath;
}

// A name for the temporary file, hidden, in the output's own folder so that the
// rename stays within one file system.
std::string TempPathFor(const std::string& output) {
    static unsigned counter = 0;
    return FolderPart(output) + "." + FileNamePart(output) + ".tmp-" + std::to_string(::getpid()) + "-" +
           std::to_string(++counter);
}

// The size of a converted file: one stat instead of opening it.
std::uint64_t ConvertedSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) ThrowIoError(path);
    if (S_ISDIR(st.st_mode)) ThrowIoError(EISDIR, path);
    return static_cast<std::uint64_t>(st.st_size);
}

void RenameOver(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) ThrowIoError(to);
}

// A record whose kind has no writer: a .raw picture or an entry that is no picture.
bool HasNoWriter(const TConvRec& rec) { return rec.Kind == pkRaw || rec.Kind == pkOther; }

// The structure file: N and the ID table area of N empty slots; the records of present
// slots go into ConvTree, or into carried when they have no writer.
std::uint32_t ReadStructure(const std::string& path, File& file, std::vector<std::uint8_t>& idTable,
                            std::vector<TConvRec>& carried) {
    const std::uint64_t size = file.Size();
    if (size > kStructureAreaSize) {
        throw DataError(path, "the structure file has " + std::to_string(size) + " bytes, more than " +
                                  std::to_string(kStructureAreaSize));
    }
    std::vector<std::uint8_t> area(static_cast<std::size_t>(size));
    area.resize(file.Read(area.data(), area.size()));
    file.Close();

    ByteReader in(area);
    const std::uint32_t n = in.U32();
    if (in.Failed()) throw DataError(path, "the structure file is too short to hold its record count");
    if (n > kMaxSlots) {
        throw DataError(path, "the structure file has " + std::to_string(n) + " slots, more than " +
                                  std::to_string(kMaxSlots));
    }
    idTable.assign(std::size_t{n} * kSlotSize, 0xFF);
    for (std::uint32_t i = 0; i < n; ++i) {
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
            throw DataError(path, "structure record " + std::to_string(i) + " of " + std::to_string(n) +
                                      " runs past the end of the file");
        }
        if (rec.RawName == kEmptySlotName) continue;
        // An entry without a writer comes from raws/ and is not looked up by icon
        // name: in the index it could only hide a picture entry whose decoded icon
        // took the same name (x.bmp beside x.k, both giving x.bmp).
        if (HasNoWriter(rec)) {
            carried.push_back(std::move(rec));
        } else {
            TreeInsert(ConvTree, rec);
        }
    }
    return n;
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

PackResult PackArchive(const std::string& packFolder, const std::string& outputPath, ProgressSink& progress,
                       MessageSink& messages) {
    const std::string convPrefix = packFolder + "conv/";
    ConvFolderScope conv(packFolder + "conv");
    ConvertedIcons icons(convPrefix);

    const std::string structurePath = packFolder + "iconres.dat";
    File structureFile;
    try {
        structureFile = File::OpenRead(structurePath);
    } catch (const IoError&) {
        return PackResult::NoStructureFile;
    }

    TreeScope tree(ConvTree);
    std::vector<std::uint8_t> idTable;
    std::vector<TConvRec> carried;
    const std::uint32_t slotCount = ReadStructure(structurePath, structureFile, idTable, carried);

    progress.Show();
    ProgressCloser closer(progress);
    progress.SetCaption("Searching for files");
    const std::string iconsFolder = packFolder + "icons/";
    const std::vector<std::string> files = ListPlainFiles(iconsFolder);
    if (files.size() > kMaxIconFiles) {
        throw DataError(iconsFolder, "the folder holds " + std::to_string(files.size()) + " icon files, more than " +
                                         std::to_string(kMaxIconFiles));
    }
    std::vector<TConvRec> found;
    found.reserve(files.size());
    for (const std::string& name : files) found.push_back(TreeFind(ConvTree, name));

    progress.SetCaption("Retrieving skin structure");
    if (found.empty()) {
        closer.Disarm();
        progress.Close();
        return PackResult::NoIcons;
    }

    // No writer turns an icon back into a .raw picture or into an entry that is no
    // picture, so those entries come back from their copies in raws/, byte for byte,
    // after the icons in the packing list. An entry whose copy is gone stays out, as an
    // icon does whose file is gone.
    const std::string rawsFolder = packFolder + "raws/";
    const std::size_t firstCarried = found.size();
    for (TConvRec& rec : carried) {
        if (const char* problem = UnsafeEntryNameReason(rec.RawName)) {
            throw DataError(structurePath, "the entry name of slot " + std::to_string(rec.SlotIndex) + " " +
                                               problem + ", so it names no file in raws/");
        }
        if (FileExists(rawsFolder + rec.RawName)) found.push_back(std::move(rec));
    }
    const std::size_t n = found.size();
    const std::vector<std::uint32_t> order = SortByRawName(found);

    // A device such as /dev/full is written in place; everything else is replaced by
    // renaming a complete temporary file over it.
    const std::string destination = ResolveOutput(outputPath);
    if (IsDirectory(destination)) ThrowIoError(EISDIR, destination);
    struct stat st {};
    const bool exists = ::stat(destination.c_str(), &st) == 0;
    const bool inPlace = exists && !S_ISREG(st.st_mode);
    TempOutput temp;
    const std::string buildPath = inPlace ? destination : TempPathFor(destination);
    File out;
    try {
        out = File::Create(buildPath);
    } catch (const IoError& e) {
        throw IoError(e.Code(), destination);  // the user knows the output, not our temporary name
    }
    if (!inPlace) temp.Set(buildPath);

    // The front of the archive: header text, names, alignment, table header, ID table.
    const std::string headerPath = packFolder + "iconres.hdr";
    std::vector<std::uint8_t> front;
    {
        File header = File::OpenRead(headerPath);
        const std::uint64_t size = header.Size();
        if (size > kMaxHeaderSize) {
            throw DataError(headerPath, "the header text has " + std::to_string(size) + " bytes, more than " +
                                            std::to_string(kMaxHeaderSize));
        }
        front.resize(static_cast<std::size_t>(size));
        front.resize(header.Read(front.data(), front.size()));
        header.Close();
        if (front.size() < kMinHeaderSize) {
            throw DataError(headerPath, "the header text has " + std::to_string(front.size()) +
                                            " bytes, too few to hold the table position at offset 16 (at least " +
                                            std::to_string(kMinHeaderSize) + ")");
        }
    }
    const std::uint32_t headerSize = static_cast<std::uint32_t>(front.size());

    // Conversion pass: each icon with a picture kind into conv/, its name into the
    // name area and its slot into the ID table; entries from raws/ as they are.
    std::vector<std::string> packNames(n);
    std::vector<std::string> sources(n);  // the file each data record is copied from
    std::vector<bool> kept(n);            // or whether it is one of the converted icons
    std::uint64_t nameOffset = 0;
    std::uint64_t dataOffset = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const TConvRec& rec = found[order[i]];
        const bool fromRaws = order[i] >= firstCarried;
        // An icon whose entry has no writer is passed over: its entry comes from raws/.
        if (fromRaws || !HasNoWriter(rec)) {
            if (rec.SlotIndex >= slotCount) {
                throw DataError(structurePath, "the record of " + rec.IconName + " names slot " +
                                                   std::to_string(rec.SlotIndex) + ", but there are only " +
                                                   std::to_string(slotCount) + " slots");
            }
            const std::string source = fromRaws ? rawsFolder + rec.RawName : iconsFolder + rec.IconName;
            std::string converted = source;
            std::optional<EncodedPicture> picture;
            if (!fromRaws) {
                const std::string unconverted = convPrefix + rec.IconName;
                converted = unconverted;
                try {
                    picture = EncodePictureBytes(source, rec.Kind, converted, kPictureAreaSize);
                } catch (...) {
                    // The encoder names its output before making it, and writing it
                    // would have replaced what stood there.
                    if (converted != unconverted) conv.Replaced(converted);
                    throw;
                }
                if (picture) {
                    conv.Replaced(converted);
                } else {
                    conv.Written(converted);  // no writer: conv/ may hold a file of that name
                }
            }
            std::string name = FileNamePart(converted);
            if (name.size() > kMaxNameLength) {
                throw DataError(source, "the packed name " + name + " has " + std::to_string(name.size()) +
                                            " bytes; the archive holds names of at most " +
                                            std::to_string(kMaxNameLength));
            }
            if (name.find('\n') != std::string::npos) {
                throw DataError(source, "the packed name contains an LF, which ends names in the archive");
            }
            // Without a writer, the icon is what conv/ holds under its name: one converted
            // earlier in this run, or a file.
            const std::optional<std::uint64_t> stored =
                (fromRaws || picture) ? std::nullopt : icons.SizeOf(name);
            kept[i] = picture || stored;
            const std::uint64_t size = picture ? picture->size : stored ? *stored : ConvertedSize(converted);
            if (size > kPictureAreaSize) {
                throw DataError(converted, "the converted icon has " + std::to_string(size) +
                                               " bytes, more than " + std::to_string(kPictureAreaSize));
            }
            if (picture) icons.Store(name, picture->bytes);
            if (dataOffset > kMaxOffset) {
                throw DataError(outputPath, "the archive's data area would pass 4 GiB at " + name);
            }
            std::size_t pos = std::size_t{rec.SlotIndex} * kSlotSize;
            PutU32(rec.ResourceId, pos, idTable.data());
            PutU32(static_cast<std::uint32_t>(nameOffset), pos, idTable.data());
            PutU32(static_cast<std::uint32_t>(dataOffset), pos, idTable.data());
            front.insert(front.end(), name.begin(), name.end());
            front.push_back('\n');
            nameOffset += name.size() + 1;
            dataOffset += size + kDataRecordHeaderSize;
            packNames[i] = std::move(name);
            sources[i] = std::move(converted);
        }
        progress.SetPosition(ProgressPercent(static_cast<long long>(i), static_cast<long long>(n)));
    }

    progress.SetPosition(0);
    while (front.size() % 4 != 0) front.push_back(0);
    const std::uint32_t p = static_cast<std::uint32_t>(front.size());
    const std::string digits = FormatOffsetField(p);
    std::copy(digits.begin(), digits.end(), front.begin() + kOffsetFieldPos);

    progress.SetCaption("Packing icons");
    std::size_t pos = front.size();
    front.resize(pos + kTableHeaderSize);
    PutU32(TableHeaderMagic, pos, front.data());
    PutU32(headerSize, pos, front.data());
    PutU32(slotCount, pos, front.data());
    PutU32(p + static_cast<std::uint32_t>(kTableHeaderSize), pos, front.data());
    PutU32(p + static_cast<std::uint32_t>(kTableHeaderSize + kSlotSize * slotCount), pos, front.data());
    front.insert(front.end(), idTable.begin(), idTable.end());
    out.Write(front);

    // Data pass: each converted icon copied in one write with its record header.
    std::vector<std::uint8_t> picture(kDataRecordHeaderSize + kPictureAreaSize);
    std::uint8_t* const bytes = picture.data() + kDataRecordHeaderSize;
    for (std::size_t i = 0; i < n; ++i) {
        if (packNames[i].empty()) continue;
        const std::string path = kept[i] ? convPrefix + packNames[i] : sources[i];
        const auto notFound = [&] {
            messages.ShowNotFound(packNames[i]);
            ThrowFileNotOpen(path);
        };
        std::uint64_t size = 0;
        std::size_t got = 0;
        if (kept[i]) {
            const std::optional<std::size_t> taken = icons.Take(packNames[i], bytes);
            if (!taken) notFound();
            size = got = *taken;
        } else {
            File in;
            try {
                in = File::OpenRead(path);
            } catch (const IoError&) {
                notFound();
            }
            size = in.Size();
            if (size > kPictureAreaSize) {
                throw DataError(path, "the converted icon has " + std::to_string(size) + " bytes, more than " +
                                          std::to_string(kPictureAreaSize));
            }
            got = in.Read(bytes, static_cast<std::size_t>(size));
            in.Close();
        }
        store_u32le(picture.data(), DataRecordMagic);
        store_u32le(picture.data() + 4, static_cast<std::uint32_t>(size));
        out.Write(std::span<const std::uint8_t>(picture.data(), kDataRecordHeaderSize + got));
        progress.SetPosition(ProgressPercent(static_cast<long long>(i), static_cast<long long>(n)));
        // A file converted earlier and left in conv/ goes; raws/ stays as it is.
        if (!kept[i] && order[i] < firstCarried) RemoveFile(path);
    }
    conv.AllCopied();

    out.Close();
    if (!inPlace) {
        // The new archive keeps the permissions of the one it replaces.
        if (exists) ::chmod(buildPath.c_str(), st.st_mode & 07777);
        RenameOver(buildPath, destination);
        temp.Release();
    }

    closer.Disarm();
    progress.Close();
    return PackResult::Packed;
}

}  // namespace tavro
