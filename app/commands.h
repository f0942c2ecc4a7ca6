// The desktop's commands, without widgets. Each takes the dialogs' answers through
// the Dialogs interface and the window's state through Shell, and calls the core.
// The windows only wire their controls to these; tests drive them with fakes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/dialogs.h"
#include "archive/sinks.h"
#include "imaging/conversion.h"

namespace tavro::app {

// The application's title: the caption of the program-wide error box.
inline constexpr const char* kAppTitle = "VADA R2 OZO zaroza riv azudizez";

// What the commands need of the main window and the windows it owns.
class Shell {
public:
    virtual ~Shell() = default;

    // The icon list: its entries are names as bytes.
    virtual int IconCount() const = 0;
    virtual int SelectedIcon() const = 0;  // -1 when nothing is selected
    virtual std::string IconAt(int index) const = 0;
    virtual void ClearIcons() = 0;
    virtual IconList& Icons() = 0;
    virtual void SetDescription(const std::string& text) = 0;

    // The preview window.
    virtual bool PreviewShowing() const = 0;
    virtual void ClosePreview() = 0;
    // Sets the preview's raw path, image path and format and shows it; it has redrawn
    // (and written the picture) when this returns. The result is the preview's image
    // path, which the decoding may have given another extension.
    virtual std::string ShowPreview(const std::string& rawPath, const std::string& imagePath,
                                    TTargetFormat format) = 0;

    virtual ProgressSink& Progress() = 0;
    virtual MessageSink& Messages() = 0;
    // A wait cursor while a long command works.
    virtual void SetBusy(bool busy) = 0;
};

// The commands of the main window's menus and buttons. The two dialog states are the
// main window's open and save dialogs, which keep their state between commands.
class Commands {
public:
    Commands(Shell& shell, Dialogs& dialogs) : shell_(shell), dialogs_(dialogs) {}

    void OpenEzx();
    // Open EZX from its folder dialog on, for an archive already chosen.
    void OpenEzxArchive(std::string archivePath);
    void SaveToEzx();
    void ShowSelectedIcon();
    void SavePicture();
    void ConvertImage();
    void ConvertAll();

    // Runs a command to its end. An error that ends it is shown in the error box; the
    // program then waits for the next command.
    void Run(const std::function<void()>& command);

    FileDialogState openDialog;
    FileDialogState saveDialog;

private:
    bool AskOpen(const std::string& title, const std::string& filter, const FileDialogOptions& options = {});
    // Save dialogs start in WorkFolder until they have been answered once.
    bool AskSave(const std::string& title, const std::string& filter, FileDialogOptions options = {});
    std::string SelectedIconName() const;
    void ClosePreviewIfShowing();

    Shell& shell_;
    Dialogs& dialogs_;
};

// The error box's text: the error's text with a full stop appended when its last
// character sorts after ".".
std::string ErrorBoxText(const std::string& text);

// The picture filter "BMP Image|*.bmp|GIF Image|*.gif|PNG Image|*.png": entry 1 gives
// BMP, entry 2 GIF, any other PNG.
TTargetFormat FormatForPictureFilter(int filterIndex);
// The handset filter "Moto Bitmap 18-bit|*.k|Moto Bitmap 32-bit|*.k|Moto Image|*.g":
// entry 1 gives 18-bit with mask, entry 2 32-bit, any other a .g image.
TPictureKind ModeForHandsetFilter(int filterIndex);

// The file a decoding of `source` writes for the chosen name: the name itself, or for
// a .g picture the name with the extension its content deserves.
std::string DecodedTarget(const std::string& source, const std::string& name);
// The file an encoding of `source` in `mode` writes for the chosen name (.k or .g).
std::string EncodedTarget(const std::string& source, TPictureKind mode, const std::string& name);

// The description line: the shown name, two blanks, "WxH", three blanks, the type word.
std::string DescriptionLine(const std::string& name, int width, int height, TPictureKind kind,
                            TTargetFormat format);

// The preview background for a colour from the picker (0x00BBGGRR): opaque ARGB.
std::uint32_t BackgroundFromColor(std::uint32_t color);

}  // namespace tavro::app
