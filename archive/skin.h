// A skin as the commands that look at a whole one see it: the slots of an archive, or
// of a folder left by an unpacking (its icons/ as edited, else its copies in raws/),
// with the bytes and the picture each holds.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "archive/pack.h"
#include "archive/reader.h"
#include "imaging/bitmap.h"
#include "imaging/conversion.h"
#include "imaging/fileio.h"

namespace tavro {

struct SkinSlot {
    std::uint32_t index = 0;
    bool empty = true;         // no entry: an empty slot
    std::string name;          // the entry's name (bytes)
    std::uint32_t resourceId = 0;
    std::uint8_t kind = pkOther;  // folder: the structure record's kind
    // Folder: the file packing takes the entry from, and whether that is its icon
    // (converted back) or its copy in raws/.
    std::string file;
    bool fromIcon = false;
    bool iconDeleted = false;  // folder: empty because its icon was deleted
};

// What a slot shows.
enum class SkinShows : std::uint8_t {
    Picture,      // a picture, in `bitmap`
    NoPicture,    // an entry that is no picture
    Undecodable,  // a picture that does not decode (damaged, a .raw without its size ...)
    Empty,        // an empty slot
};

struct SkinPicture {
    SkinShows shows = SkinShows::Empty;
    TPictureKind kind = pkOther;
    Bitmap bitmap;
};

// The short text a tile or a table row gives for what a slot shows without a picture.
const char* ShowsText(SkinShows shows);

class Skin {
public:
    // An archive, or a folder holding iconres.dat, whose slots are what packing it
    // would fill (PlanPack). Refuses an archive with extraction's messages and a
    // folder with packing's.
    // Raises IoError and DataError.
    explicit Skin(const std::string& path);
    ~Skin();
    Skin(const Skin&) = delete;
    Skin& operator=(const Skin&) = delete;

    const std::string& Path() const { return path_; }
    bool IsFolder() const { return folder_; }
    // Every slot in slot order.
    const std::vector<SkinSlot>& Slots() const { return slots_; }

    // The bytes that stand for the slot's content, read into a buffer of this object
    // (valid until the next call): an archive's entry; the file a folder's entry is
    // packed from (its icon, or its copy in raws/). Empty for an empty slot.
    std::span<const std::uint8_t> ContentBytes(const SkinSlot& slot);

    // The picture the slot shows: an archive's entry decoded; a folder's icon, or its
    // copy in raws/ decoded. Never raises for a damaged picture.
    SkinPicture Picture(const SkinSlot& slot);

    // The slots with entries in the desktop list's order of their names, then the
    // empty slots in slot order.
    std::vector<std::uint32_t> ListOrder() const;

private:
    void OpenFolder();
    void OpenArchive();

    std::string path_;
    bool folder_ = false;
    std::unique_ptr<ArchiveReader> reader_;
    std::vector<SkinSlot> slots_;
    std::vector<ArchiveSlot> archiveSlots_;  // archive: where each slot's bytes are
    std::vector<std::uint8_t> buffer_;
};

}  // namespace tavro
