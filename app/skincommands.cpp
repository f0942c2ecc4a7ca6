#include "app/skincommands.h"

#include "archive/check.h"
#include "archive/diff.h"
#include "app/settings.h"
#include "archive/sheet.h"
#include "imaging/paths.h"

namespace tavro::app {

namespace {

constexpr const char* kPngFilter = "PNG Image|*.png";
constexpr const char* kArchiveOrFolderFilter = "EZX files|*.ezx|All files|*.*";
constexpr const char* kSheetName = "sheet.png";

}  // namespace

bool SkinCommands::HaveWorkFolder(const char* title) {
    if (!WorkFolder.empty()) return true;
    dialogs_.ShowMessageBox(title, kNothingUnpacked, true);
    return false;
}

void SkinCommands::ContactSheet(std::uint32_t background) {
    if (!HaveWorkFolder(kSheetTitle)) return;
    sheetDialog.title = "Save the contact sheet";
    sheetDialog.filter = kPngFilter;
    if (sheetDialog.fileName.empty()) sheetDialog.fileName = WorkFolder + kSheetName;
    FileDialogOptions options;
    options.writes = [](const std::string& name, int) { return name; };
    if (!dialogs_.RunFileDialog(FileDialogKind::Save, sheetDialog, options)) return;
    SheetOptions sheet;
    sheet.background = background;
    const std::vector<std::string> files = MakeContactSheet(WorkFolder, sheetDialog.fileName, sheet);
    for (const std::string& file : files) view_.OpenPicture(file);
}

void SkinCommands::CheckFolder() {
    if (!HaveWorkFolder(kCheckTitle)) return;
    view_.ShowReport(kCheckTitle, "Folder: " + WorkFolder + "\n\n" + CheckTable(tavro::CheckFolder(WorkFolder)));
}

void SkinCommands::CompareWith() {
    if (!HaveWorkFolder(kCompareTitle)) return;
    compareDialog.title = "Compare the unpacked folder with an archive or folder";
    compareDialog.filter = kArchiveOrFolderFilter;
    FileDialogOptions options;
    options.acceptsFolder = true;
    options.startFolder = FolderPart(WorkFolder.substr(0, WorkFolder.size() - 1));
    if (!dialogs_.RunFileDialog(FileDialogKind::Open, compareDialog, options)) return;
    Skin other(compareDialog.fileName);
    Skin folder(WorkFolder);
    const SkinDifference diff = CompareSkins(other, folder);
    std::string text = "A: " + other.Path() + "\nB: " + folder.Path() + "\n\n";
    for (const SlotDifference& d : diff.changes) text += DescribeDifference(d) + "\n";
    text += DifferenceSummary(diff) + "\n";
    view_.ShowReport(kCompareTitle, text);
}

}  // namespace tavro::app
