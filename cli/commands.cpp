#include "cli/commands.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "archive/extract.h"
#include "archive/iconnames.h"
#include "archive/pack.h"
#include "archive/reader.h"
#include "cli/terminal.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/paths.h"
#include "imaging/standard.h"

namespace tavro::cli {

namespace {

constexpr const char* kConvertCaption = "Converting pictures";

// Writes a line of bytes to stdout: names may hold any byte. A reader that went away
// (`tavro info A.ezx | head -1`) ends the command as an error would, so that it
// cleans up after itself instead of being killed by SIGPIPE.
void PrintLine(const std::string& text) {
    std::string line = text + "\n";
    if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fflush(stdout) != 0) {
        ThrowIoError(errno, "stdout");
    }
}

// A name as printed: decoded for a person when stdout is a terminal (a Windows-1251
// name would show as mojibake on a UTF-8 terminal), with its control bytes shown as
// \xNN so that a name cannot move the cursor, retitle the window or colour the
// screen; its bytes unchanged when piped.
std::string ShownName(const std::string& name) {
    static const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    return terminal ? EscapeControls(DisplayName(name)) : name;
}

// The columns a shown name takes: one per character, counting UTF-8 lead bytes.
std::size_t TextWidth(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Opens and closes a file, so that a missing or unreadable input is reported as
// such before anything is written.
void RequireReadable(const std::string& path) { File::OpenRead(path).Close(); }

// Creates a folder and its parents when missing.
void MakeFolders(const std::string& folder) {
    if (folder.empty() || IsDirectory(folder)) return;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (IsDirectory(folder)) return;
    if (ec && ec.value() != EEXIST) ThrowIoError(ec.value(), folder);
    throw DataError(ErrorCause::Refused, folder, "is a file, not a folder");
}

std::string SizeText(const PictureMeasure& m) {
    return m.sized ? std::to_string(m.width) + "x" + std::to_string(m.height) : "-";
}

bool LooksLikeArchive(const std::string& path) {
    if (UpperExtension(path) == ".EZX") return true;
    std::vector<std::uint8_t> head = ReadFilePrefix(path, kArchiveSignatureSize);
    return head.size() == kArchiveSignatureSize &&
           std::memcmp(head.data(), kArchiveSignature, kArchiveSignatureSize) == 0;
}

std::string PadRight(std::string text, std::size_t width) {
    const std::size_t used = TextWidth(text);
    if (used < width) text.append(width - used, ' ');
    return text;
}

std::string PadLeft(const std::string& text, std::size_t width) {
    return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

int InfoArchive(const InfoOptions& options) {
    ArchiveReader reader(options.file);
    const std::vector<ArchiveSlot> table = reader.ReadSlots();
    std::vector<std::uint8_t> entry(kPictureAreaSize);

    std::size_t nameWidth = 4;
    for (const ArchiveSlot& slot : table) nameWidth = std::max(nameWidth, TextWidth(ShownName(slot.name)));

    PrintLine("archive " + options.file);
    PrintLine(PadLeft("slot", 5) + "  " + PadLeft("resource id", 11) + "  " + PadRight("name", nameWidth) + "  " +
              PadLeft("bytes", 8) + "  " + PadRight("kind", 11) + "  size");
    std::size_t entries = 0;
    std::uint64_t bytes = 0;
    for (const ArchiveSlot& slot : table) {
        std::string head = PadLeft(std::to_string(slot.index), 5) + "  ";
        if (slot.empty) {
            PrintLine(head + PadLeft("-", 11) + "  (empty)");
            continue;
        }
        ++entries;
        bytes += slot.presentSize;

        // The entry is measured in memory under its own file name, so that the kind
        // and (for .raw) the size come from its name exactly as on extraction.
        const std::string base = FileNamePart(slot.name);
        const std::span<const std::uint8_t> bytes(entry.data(), reader.ReadEntry(slot, entry.data()));
        PictureMeasure m;
        try {
            m = MeasurePicture(base, bytes);
        } catch (const DataError&) {
            // A damaged picture still gets its line; its size stays unknown.
            m = PictureMeasure{PictureKindOf(base, bytes)};
        }
        const std::string kind = KindName(m.kind);

        std::string sizeText = std::to_string(slot.presentSize);
        if (slot.presentSize != slot.storedSize) sizeText += " (of " + std::to_string(slot.storedSize) + ")";
        PrintLine(head + PadLeft(std::to_string(slot.resourceId), 11) + "  " + PadRight(ShownName(slot.name), nameWidth) +
                  "  " + PadLeft(sizeText, 8) + "  " + PadRight(kind, 11) + "  " + SizeText(m));
    }
    std::size_t slotCount = table.size();
    PrintLine(std::to_string(slotCount) + " slots: " + std::to_string(entries) + " entries, " +
              std::to_string(slotCount - entries) + " empty; " + std::to_string(bytes) + " bytes of entries");
    return kExitOk;
}

int InfoPicture(const InfoOptions& options) {
    const PictureMeasure m = MeasurePicture(options.file);
    if (!m.sized) {
        if (m.kind == pkRaw)
            throw DataError(ErrorCause::Undecodable, options.file,
                            "the name gives no picture size, as in icon(16x16).raw");
        if (m.kind == pkOther)
            throw DataError(ErrorCause::Undecodable, options.file, "not a picture that Tavro can read");
        throw DataError(ErrorCause::Undecodable, options.file, "the picture could not be decoded");
    }
    PrintLine("name: " + ShownName(FileNamePart(options.file)));
    PrintLine("kind: " + KindName(m.kind));
    PrintLine("size: " + SizeText(m));
    PrintLine("type: " + PictureTypeWord(m.kind, options.format));
    return kExitOk;
}

}  // namespace

int RunUnpack(const UnpackOptions& options) {
    // A missing archive is reported before the folder is made: nothing is written then.
    RequireReadable(options.archive);
    MakeFolders(options.folder);

    TerminalProgress progress;
    StderrMessages messages(progress);
    CollectingIconList icons;
    ExtractArchive(options.archive, WithTrailingSlash(options.folder), options.format, progress, icons,
                   messages);
    progress.Close();

    if (options.list) {
        for (const std::string& name : SortedForList(icons.Names())) PrintLine(ShownName(name));
    }
    return kExitOk;
}

int RunPack(const PackOptions& options) {
    const std::string folder = WithTrailingSlash(options.folder);
    TerminalProgress progress;
    StderrMessages messages(progress);
    PackResult result = PackArchive(folder, options.archive, progress, messages);
    progress.Close();

    switch (result) {
        case PackResult::Packed:
            return kExitOk;
        case PackResult::NoStructureFile:
            PrintError(folder + "iconres.dat: " + kNoStructureFileText);
            return kExitFailure;
        case PackResult::NoIcons:
            PrintError(folder + "icons/: " + kNoIconsText);
            return kExitFailure;
    }
    return kExitFailure;
}

int RunConvert(const ConvertOptions& options) {
    std::optional<TTargetFormat> format = options.format;
    if (!options.handsetMode && !format) {
        format = FormatOfExtension(options.target);
        // A .g keeps the format of its content whatever is asked: nothing to name.
        if (!format && UpperExtension(options.source) == ".G") format = tfBmp;
        if (!format) {
            throw UsageError("the target's extension names no picture format: give --format or --handset");
        }
    }
    RequireReadable(options.source);

    std::string written = options.target;
    if (options.handsetMode) {
        EncodePicture(options.source, *options.handsetMode, written, PrintWarning);
    } else {
        TPictureKind kind = pkOther;
        if (!DecodePicture(options.source, written, *format, kind)) {
            if (kind == pkRaw) {
                throw DataError(ErrorCause::Undecodable, options.source,
                                "the name gives no picture size, as in icon(16x16).raw");
            }
            throw DataError(ErrorCause::Undecodable, options.source,
                            "not a handset picture (.k, .g or .raw)");
        }
    }
    // The conversion door reports some failures by writing nothing; say so here.
    if (!FileExists(written)) throw DataError(ErrorCause::Refused, written, "nothing was written");
    PrintLine(written);
    return kExitOk;
}

int RunConvertAll(const ConvertAllOptions& options) {
    const std::string source = WithTrailingSlash(options.sourceFolder);
    const std::string target = WithTrailingSlash(options.targetFolder);
    RequireFolder(options.sourceFolder);
    MakeFolders(options.targetFolder);

    TerminalProgress progress;
    progress.Show();
    progress.SetCaption(kConvertCaption);
    BatchResult result = ConvertFolder(
        source, target, options.direction, options.format,
        [&](std::size_t i, std::size_t n) {
            progress.SetPosition(ProgressPercent(static_cast<long long>(i), static_cast<long long>(n)));
        },
        [&](const std::string& path, const std::string& text) {
            progress.Interrupt();
            PrintWarning(path, text);
        });
    progress.Close();
    for (const BatchCollision& c : result.collisions) {
        PrintWarning(c.target, "written from " + c.replaced + " and then from " + c.by + ", whose result replaced it");
    }
    std::string summary = std::to_string(result.converted) + " converted";
    if (result.written != result.converted) summary += " into " + std::to_string(result.written) + " files";
    PrintLine(summary + ", " + std::to_string(result.passedOver) + " passed over");
    return kExitOk;
}

int RunInfo(const InfoOptions& options) {
    RequireReadable(options.file);
    return LooksLikeArchive(options.file) ? InfoArchive(options) : InfoPicture(options);
}

}  // namespace tavro::cli
