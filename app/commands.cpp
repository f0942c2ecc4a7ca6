#include "app/commands.h"

#include <new>

#include "app/settings.h"
#include "archive/extract.h"
#include "archive/iconnames.h"
#include "archive/pack.h"
#include "imaging/batch.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/gimage.h"
#include "imaging/paths.h"
#include "imaging/standard.h"

namespace tavro::app {

namespace {

constexpr const char* kEzxFilter = "EZX files|*.ezx";
constexpr const char* kAllFilesFilter = "All files|*.*";
constexpr const char* kStructureFilter = "EZX structure|*.dat";
constexpr const char* kPictureFilter = "BMP Image|*.bmp|GIF Image|*.gif|PNG Image|*.png";
constexpr const char* kHandsetFilter = "Moto Bitmap 18-bit|*.k|Moto Bitmap 32-bit|*.k|Moto Image|*.g";
constexpr const char* kSourcePictureFilter = "Moto Files|*.k;*.g|Image Files|*.bmp;*.gif;*.png";
// The output when the save dialog of Save to EZX is cancelled: packing still runs
// and writes this file into the source folder.
constexpr const char* kFallbackArchiveName = "iconrez.ezx";

// The wait cursor for as long as a command's work runs.
class BusyScope {
public:
    explicit BusyScope(Shell& shell) : shell_(shell) { shell_.SetBusy(true); }
    ~BusyScope() { shell_.SetBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Shell& shell_;
};

}  // namespace

std::string ErrorBoxText(const std::string& text) {
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') return text + ".";
    return text;
}

TTargetFormat FormatForPictureFilter(int filterIndex) {
    switch (filterIndex) {
        case 1:
            return tfBmp;
        case 2:
            return tfGif;
        default:
            return tfPng;
    }
}

TPictureKind ModeForHandsetFilter(int filterIndex) {
    switch (filterIndex) {
        case 1:
            return pkK18Masked;
        case 2:
            return pkK32;
        default:
            return pkG;
    }
}

std::string DecodedTarget(const std::string& source, const std::string& name) {
    try {
        return DetectPictureKind(source) == pkG ? ChangeExtension(name, GImageExtension(ReadFilePrefix(source, kGSignatureSize))) : name;
    } catch (const IoError&) {
        return name;  // the conversion itself reports it
    }
}

std::string EncodedTarget(const std::string& source, TPictureKind mode, const std::string& name) {
    std::string dest = name;
    try {
        // Encoding in memory names the file without writing it; a .g copy reads nothing.
        EncodePictureBytes(source, mode, dest, 0);
    } catch (const Error&) {
        return name;  // the conversion itself reports it
    }
    return dest;
}

std::string DescriptionLine(const std::string& name, int width, int height, TPictureKind kind,
                            TTargetFormat format) {
    return DisplayName(name) + "  " + std::to_string(width) + "x" + std::to_string(height) + "   " +
           PictureTypeWord(kind, format);
}

std::uint32_t BackgroundFromColor(std::uint32_t color) {
    const std::uint32_t red = color & 0xFF;
    const std::uint32_t green = (color >> 8) & 0xFF;
    const std::uint32_t blue = (color >> 16) & 0xFF;
    return 0xFF000000u + red * 65536 + green * 256 + blue;
}

void Commands::Run(const std::function<void()>& command) {
    std::string text;
    std::string detail;
    try {
        command();
        return;
    } catch (const Error& e) {
        text = e.what();
        detail = e.Path();
    } catch (const std::bad_alloc&) {
        text = "Out of memory";
    } catch (const std::exception& e) {
        text = e.what();
    }
    dialogs_.ShowStopBox(kAppTitle, ErrorBoxText(text), detail);
}

bool Commands::AskOpen(const std::string& title, const std::string& filter, const FileDialogOptions& options) {
    openDialog.title = title;
    openDialog.filter = filter;
    return dialogs_.RunFileDialog(FileDialogKind::Open, openDialog, options);
}

bool Commands::AskSave(const std::string& title, const std::string& filter, FileDialogOptions options) {
    saveDialog.title = title;
    saveDialog.filter = filter;
    options.startFolder = WorkFolder;
    return dialogs_.RunFileDialog(FileDialogKind::Save, saveDialog, options);
}

std::string Commands::SelectedIconName() const {
    const int index = shell_.SelectedIcon();
    if (index < 0 || index >= shell_.IconCount()) {
        throw Error(ErrorCause::BeyondLimit, 0, "",
                    "List index out of bounds (" + std::to_string(index) + ")");
    }
    return shell_.IconAt(index);
}

void Commands::ClosePreviewIfShowing() {
    if (shell_.PreviewShowing()) shell_.ClosePreview();
}

void Commands::OpenEzx() {
    ClosePreviewIfShowing();
    if (!AskOpen("Open EZX file", kEzxFilter)) return;
    OpenEzxArchive(openDialog.fileName);
}

void Commands::OpenEzxArchive(std::string archivePath) {
    ClosePreviewIfShowing();
    // The folder dialog opens on the archive; any file picked names the folder, and a
    // folder typed or picked is answered as itself with a trailing "/".
    openDialog.fileName = archivePath;
    FileDialogOptions folderAnswers;
    folderAnswers.acceptsFolder = true;
    const std::string targetFolder = AskOpen("Select a folder to save icons", kAllFilesFilter, folderAnswers)
                                         ? FolderPart(openDialog.fileName)
                                         : FolderPart(archivePath);
    shell_.ClearIcons();
    {
        BusyScope busy(shell_);
        WorkFolder = targetFolder;
        ExtractArchive(archivePath, targetFolder, AppSettings.TargetFormat, shell_.Progress(), shell_.Icons(),
                       shell_.Messages());
    }
    if (shell_.IconCount() > 0) ShowSelectedIcon();
}

void Commands::SaveToEzx() {
    ClosePreviewIfShowing();
    openDialog.fileName.clear();
    if (!AskOpen("Select an EZX structure file", kStructureFilter)) return;
    // Packing reads its files by their fixed names in this folder.
    const std::string sourceFolder = FolderPart(openDialog.fileName);
    saveDialog.fileName = "iconres.ezx";
    FileDialogOptions asked;
    asked.writes = [](const std::string& name, int) { return name; };
    const std::string output = AskSave("Select file to save EZX", kEzxFilter, asked)
                                   ? saveDialog.fileName
                                   : sourceFolder + kFallbackArchiveName;

    BusyScope busy(shell_);
    switch (PackArchive(sourceFolder, output, shell_.Progress(), shell_.Messages())) {
        case PackResult::Packed:
            return;
        // Packing writes nothing then; say so rather than look as if it had worked.
        case PackResult::NoStructureFile:
            throw DataError(ErrorCause::Refused, sourceFolder + "iconres.dat",
                            "No structure file; nothing written");
        case PackResult::NoIcons:
            throw DataError(ErrorCause::Refused, sourceFolder + "icons/",
                            "No icons to pack; nothing written");
    }
}

void Commands::ShowSelectedIcon() {
    if (!AppSettings.ShowPreview) return;
    const std::string name = SelectedIconName();
    const TTargetFormat format = AppSettings.TargetFormat;
    const std::string rawPath = WorkFolder + "raws/" + name;
    const std::string imagePath = ChangeExtension(WorkFolder + "temp.tmp", TargetExtensions.at(format));

    // A picture that fails to show must not leave the previous icon's line standing.
    shell_.SetDescription("");
    const std::string shownPath = shell_.ShowPreview(rawPath, imagePath, format);
    const Bitmap picture = LoadBitmap(shownPath);
    shell_.SetDescription(
        DescriptionLine(name, picture.Width(), picture.Height(), DetectPictureKind(rawPath), format));
    // The preview writes the picture again whenever it redraws.
    RemoveFile(shownPath);
}

void Commands::SavePicture() {
    saveDialog.fileName.clear();
    // Taken before the dialog opens: an empty list ends the command here.
    const std::string source = WorkFolder + "raws/" + SelectedIconName();
    FileDialogOptions asked;
    asked.writes = [&source](const std::string& name, int) { return DecodedTarget(source, name); };
    if (!AskSave("Save picture as", kPictureFilter, asked)) return;
    std::string target = saveDialog.fileName;
    TPictureKind kind = pkOther;
    DecodePicture(source, target, FormatForPictureFilter(saveDialog.filterIndex), kind);
}

void Commands::ConvertImage() {
    ClosePreviewIfShowing();
    openDialog.fileName.clear();
    if (!AskOpen("Open picture", kSourcePictureFilter)) return;
    const std::string source = openDialog.fileName;
    // The direction is the chosen filter entry's, whatever the file's extension.
    const bool toStandard = openDialog.filterIndex == 1;
    saveDialog.fileName = source;
    FileDialogOptions asked;
    asked.writes = [&source, toStandard](const std::string& name, int entry) {
        return toStandard ? DecodedTarget(source, name) : EncodedTarget(source, ModeForHandsetFilter(entry), name);
    };
    if (!AskSave("Save picture as", toStandard ? kPictureFilter : kHandsetFilter, asked)) return;
    std::string target = saveDialog.fileName;

    BusyScope busy(shell_);
    if (toStandard) {
        TPictureKind kind = pkOther;
        DecodePicture(source, target, FormatForPictureFilter(saveDialog.filterIndex), kind);
    } else {
        EncodePicture(source, ModeForHandsetFilter(saveDialog.filterIndex), target);
    }
}

void Commands::ConvertAll() {
    ClosePreviewIfShowing();
    openDialog.fileName.clear();
    if (!AskOpen("Select source image folder", kSourcePictureFilter)) return;
    const std::string picked = openDialog.fileName;
    if (!AskSave("Select target image folder", "")) return;

    BusyScope busy(shell_);
    ConvertFolder(FolderPart(picked), FolderPart(saveDialog.fileName), DirectionForFile(picked),
                  AppSettings.TargetFormat);
}

}  // namespace tavro::app
