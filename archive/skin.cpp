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

// A folder's slots are what packing it would fill them with: the same plan.
void Skin::OpenFolder() {
    NullProgress progress;
    NullMessages messages;
    const PackPlan plan = PlanPack(path_, progress, messages);
    if (!plan.structureFound) throw DataError(ErrorCause::Refused, path_ + "iconres.dat", kNoStructureFileText);
    slots_.resize(plan.slotCount);
    for (std::uint32_t i = 0; i < plan.slotCount; ++i) slots_[i].index = i;
    const auto fill = [this](const TConvRec& rec) -> SkinSlot* {
        if (rec.SlotIndex >= slots_.size()) return nullptr;  // packing refuses it when it gets there
        SkinSlot& slot = slots_[rec.SlotIndex];
        slot.name = rec.RawName;
        slot.resourceId = rec.ResourceId;
        slot.kind = rec.Kind;
        return &slot;
    };
    for (const PlannedEntry& entry : plan.entries) {
        if (SkinSlot* slot = fill(entry.record)) {
            slot->empty = false;
            slot->file = entry.sourcePath;
            slot->fromIcon = entry.Reencoded();
        }
    }
    for (const TConvRec& rec : plan.dropped) {
        if (SkinSlot* slot = fill(rec)) slot->iconDeleted = rec.Kind != pkOther && FileExists(path_ + "raws/" + rec.RawName);
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
                throw DataError(ErrorCause::UnsafeName, path_, "the name of slot " + std::to_string(a.index) + " " + problem +
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

std::span<const std::uint8_t> Skin::ContentBytes(const SkinSlot& slot) {
    if (slot.empty) return {};
    if (!folder_) {
        const ArchiveSlot& a = archiveSlots_[slot.index];
        buffer_.resize(a.presentSize);
        buffer_.resize(reader_->ReadEntry(a, buffer_.data()));
        return buffer_;
    }
    buffer_ = ReadWholeFile(slot.file, kMaxPictureFileSize);
    return buffer_;
}

SkinPicture Skin::Picture(const SkinSlot& slot) {
    SkinPicture picture;
    if (slot.empty) return picture;
    const std::string base = FileNamePart(slot.name);
    try {
        if (folder_) {
            picture.kind = static_cast<TPictureKind>(slot.kind);
            if (slot.fromIcon) {
                picture.bitmap = LoadBitmap(slot.file);
            } else {
                const std::vector<std::uint8_t> bytes = ReadWholeFile(slot.file, kPictureAreaSize);
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
