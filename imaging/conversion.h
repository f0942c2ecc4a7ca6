// The single door through which the program converts pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/formats.h"

namespace tavro {

class Bitmap;        // imaging/bitmap.h
struct DecodeNotes;  // imaging/standard.h

// The kind of a picture file, and with the same numbers the mode of EncodePicture.
// The values are stored in structure files: never renumber them.
enum TPictureKind : std::uint8_t {
    pkRaw = 0,
    pkK18Masked = 1,
    pkK18 = 2,
    pkK32 = 3,
    pkG = 4,
    pkOther = 5,
};

// The kind by extension (upper case): ".RAW", ".G", ".K" (18-bit with or without
// mask, or 32-bit, from the header and size), anything else pkOther.
TPictureKind DetectPictureKind(const std::string& path);
// The same for a file's bytes in memory, `name` giving its extension.
TPictureKind PictureKindOf(const std::string& name, std::span<const std::uint8_t> bytes);

// Converts a handset picture into a standard picture. `dest` may get another
// extension (a .g picture's by content). `kind` is always set. Returns true when the
// source was recognised as a handset picture and converted.
bool DecodePicture(const std::string& source, std::string& dest, TTargetFormat target, TPictureKind& kind);

// Told about a source that a conversion took as it is although the user may have
// meant something else: its path and a short text ("every pixel is transparent").
using ConversionWarning = std::function<void(const std::string& path, const std::string& text)>;

// Converts a picture into a handset picture by mode (a TPictureKind value): 0 writes
// a .raw picture named with the picture's size, 1, 2 and 3 write .k, 4 writes a .g
// copy; GIF and PNG sources always become .g copies. Other modes write nothing and
// leave `dest` as it was. `dest` receives the name written. A source that is a
// 32-bit BI_RGB BMP with every alpha byte 0 is converted fully transparent, and
// `warn` (when given) is told.
void EncodePicture(const std::string& source, std::uint8_t mode, std::string& dest,
                   const ConversionWarning& warn = {});

// What EncodePicture would write, kept in memory.
struct EncodedPicture {
    std::vector<std::uint8_t> bytes;
    std::uint64_t size = 0;  // the file's size; a .g copy keeps at most copyLimit bytes of it
};

// EncodePicture without writing: `dest` gets the same name; modes without a writer
// give nothing and leave it as it was. `notes` receives what loading the source
// noticed (EncodePicture's warning comes from it).
std::optional<EncodedPicture> EncodePictureBytes(const std::string& source, std::uint8_t mode, std::string& dest,
                                                 std::size_t copyLimit, DecodeNotes* notes = nullptr);

// The text of that warning.
inline constexpr const char* kEveryPixelTransparent = "every pixel is transparent";

// The picture of a handset file decoded into memory, as DecodePicture decodes it. A
// null bitmap when it gives none: not a handset picture, a .raw name without a
// usable size, a damaged picture or one beyond the limits (DataError is taken as
// "does not decode"), a .g whose content is no picture. IoError goes on up.
Bitmap DecodeToBitmap(const std::string& source);

// The picture of a handset file's bytes in memory, of the kind given (from
// PictureKindOf); `name` gives a .raw picture's size and names the file in errors. A
// null bitmap for pkOther, a .raw name without a usable size and a .g whose content
// is no picture; DataError for a damaged picture or one beyond the limits.
Bitmap DecodeHandsetPicture(const std::string& name, TPictureKind kind, std::span<const std::uint8_t> bytes);

// A picture's kind and, where it decodes, its size: a handset picture as DecodePicture
// decodes it, any other file as a standard picture. DataError from the decoders goes
// on up; `sized` is false where no picture is to be had.
struct PictureMeasure {
    TPictureKind kind = pkOther;
    bool sized = false;
    int width = 0;
    int height = 0;
};
PictureMeasure MeasurePicture(const std::string& path);
PictureMeasure MeasurePicture(const std::string& name, std::span<const std::uint8_t> bytes);

// Whether DecodePicture gives the file an icon, as extraction calls it: a .g always
// does (it is copied whatever it holds); a .k or .raw when it decodes.
bool PictureDecodes(const std::string& source);

// The picture-type word of the description line: "18-bit BMP", "32-bit BMP",
// otherwise "GIF" when the target format is GIF and "PNG" when it is not.
std::string PictureTypeWord(TPictureKind kind, TTargetFormat format);

// The code name of a kind ("pkK18Masked" ...).
std::string KindName(std::uint8_t kind);

}  // namespace tavro
