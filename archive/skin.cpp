#include "archive/skin.h"

#include <algorithm>
#include <map>

#include "archive/format.h"
#include "archive/iconnames.h"
#include "imaging/bytes.h"
#include "imaging/errors.h"
#include "imaging/paths.h"
#include "imaging/standard.h"

namespace tavro {

namespace {

// The structure file's records of present slots, read with packing's checks and
// messages. Layout in archive/format.h.
std::vector<SkinSlot> ReadStructureSlots(const std::string& path) {
    const std::vector<std::uint8_t> area = ReadWholeFile(path, kStructureAreaSize);
    ByteReader in(area);
    const std::uint32_t count = in.U32();
    if (in.Failed()) throw DataError(path, "the structure file is too short to hold its record count");
    if (count > kMaxSlots) {
        throw DataError(path, "the structure file has " + std::to_string(count) + " slots, more than " +
                                  std::to_string(kMaxSlots));
    }
    std::vector<SkinSlot> table(count);
    for (std::uint32_t i = 0; i < count; ++i) table[i].index = i;
    for (std::uint32_t i = 0; i < count; ++i) {
        SkinSlot slot;
        slot.index = in.U32();
        slot.name = in.Bytes(in.U32());
        slot.iconName = in.Bytes(in.U32());
        slot.kind = in.U8();
        in.U32();  // the name's hash
        slot.resourceId = in.U32();
        if (in.Failed()) {
            throw DataError(path, "structure record " + std::to_string(i) + " of " + std::to_string(count) +
                                      " runs past the end of the file");
        }
        if (slot.name == kEmptySlotName || slot.index >= count) continue;
        if (const char* problem = UnsafeEntryNameReason(slot.name)) {
            throw DataError(path, "the entry name of slot " + std::to_string(slot.index) + " " + problem +
                                      ", so it names no file in raws/");
        }
        if (UnsafeEntryNameReason(slot.iconName) != nullptr) slot.iconName.clear();
        slot.empty = false;
        table[slot.index] = std::move(slot);
    }
    return table;
}

}  // namespace

const char* ShowsText(SkinShows shows) {
    switch (shows) {
        case SkinShows::Picture:
            return "picture";
        case SkinShows::NoPicture:
            return "no picture";
        case SkinShows::Undecodable:
            return "does not decode";
        case SkinShows::Empty:
            return "empty slot";
    }
    return "";
}

Skin::Skin(const std::string& path) : path_(path), folder_(IsDirectory(path)) {
    if (folder_) {
        path_ = WithTrailingSlash(path);
        OpenFolder();
    } else {
        OpenArchive();
    }
}

Skin::~Skin() = default;

void Skin::OpenFolder() {
    const std::string structure = path_ + "iconres.dat";
    if (!FileExists(structure)) throw DataError(structure, kNoStructureFileText);
    slots_ = ReadStructureSlots(structure);
    // As packing sees it: a picture whose icon was deleted while its copy decodes
    // leaves its slot empty.
    for (SkinSlot& slot : slots_) {
        if (slot.empty || slot.kind == pkOther) continue;
        const std::string icon = IconPath(slot);
        if (!icon.empty() && FileExists(icon)) continue;
        if (FileExists(RawPath(slot)) && PictureDecodes(RawPath(slot))) slot.empty = slot.iconDeleted = true;
    }
}

void Skin::OpenArchive() {
    reader_ = std::make_unique<ArchiveReader>(path_);
    archiveSlots_ = reader_->ReadSlots();
    slots_.reserve(archiveSlots_.size());
    for (const ArchiveSlot& a : archiveSlots_) {
        // Extraction's refusal, in its words: the name must name a file.
        if (!a.empty) {
            if (const char* problem = UnsafeEntryNameReason(a.name)) {
                throw DataError(path_, "the name of slot " + std::to_string(a.index) + " " + problem +
                                           ", so it cannot be used as a file name");
            }
        }
        SkinSlot slot;
        slot.index = a.index;
        slot.empty = a.empty;
        slot.name = a.name;
        slot.resourceId = a.resourceId;
        slots_.push_back(std::move(slot));
    }
}

std::string Skin::RawPath(const SkinSlot& slot) const { return path_ + "raws/" + slot.name; }

std::string Skin::IconPath(const SkinSlot& slot) const {
    return slot.iconName.empty() ? std::string() : path_ + "icons/" + slot.iconName;
}

std::span<const std::uint8_t> Skin::ContentBytes(const SkinSlot& slot) {
    if (slot.empty) return {};
    if (!folder_) {
        const ArchiveSlot& a = archiveSlots_[slot.index];
        buffer_.resize(a.presentSize);
        buffer_.resize(reader_->ReadEntry(a, buffer_.data()));
        return buffer_;
    }
    const std::string icon = IconPath(slot);
    const std::string file = !icon.empty() && FileExists(icon) ? icon : RawPath(slot);
    if (!FileExists(file)) return {};
    buffer_ = ReadWholeFile(file, kMaxPictureFileSize);
    return buffer_;
}

SkinPicture Skin::Picture(const SkinSlot& slot) {
    SkinPicture picture;
    if (slot.empty) return picture;
    const std::string base = FileNamePart(slot.name);
    try {
        if (folder_) {
            picture.kind = slot.kind <= pkOther ? static_cast<TPictureKind>(slot.kind) : pkOther;
            const std::string icon = IconPath(slot);
            if (slot.kind != pkOther && !icon.empty() && FileExists(icon)) {
                picture.bitmap = LoadBitmap(icon);
            } else if (FileExists(RawPath(slot))) {
                const std::vector<std::uint8_t> bytes = ReadWholeFile(RawPath(slot), kPictureAreaSize);
                picture.kind = PictureKindOf(base, bytes);
                picture.bitmap = DecodeHandsetPicture(base, picture.kind, bytes);
            }
        } else {
            const std::span<const std::uint8_t> bytes = ContentBytes(slot);
            picture.kind = PictureKindOf(base, bytes);
            picture.bitmap = DecodeHandsetPicture(base, picture.kind, bytes);
        }
    } catch (const DataError&) {
        picture.bitmap = Bitmap();
    }
    if (!picture.bitmap.IsNull()) {
        picture.shows = SkinShows::Picture;
    } else {
        picture.shows = picture.kind == pkOther ? SkinShows::NoPicture : SkinShows::Undecodable;
    }
    return picture;
}

std::vector<std::uint32_t> Skin::ListOrder() const {
    std::multimap<std::string, std::uint32_t> byName;
    std::vector<std::string> names;
    std::vector<std::uint32_t> empty;
    for (const SkinSlot& slot : slots_) {
        if (slot.empty) {
            empty.push_back(slot.index);
        } else {
            if (byName.count(slot.name) == 0) names.push_back(slot.name);
            byName.emplace(slot.name, slot.index);
        }
    }
    std::vector<std::uint32_t> order;
    order.reserve(slots_.size());
    for (const std::string& name : SortedForList(std::move(names))) {
        const auto [first, last] = byName.equal_range(name);
        for (auto it = first; it != last; ++it) order.push_back(it->second);
    }
    order.insert(order.end(), empty.begin(), empty.end());
    return order;
}

}  // namespace tavro
