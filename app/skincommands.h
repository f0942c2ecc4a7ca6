// The commands of the Skin menu, without widgets: a contact sheet and a check of the
// folder last unpacked, and a comparison of it with another archive or folder. They
// take the dialogs' answers through Dialogs and show their results through SkinView.
#pragma once

#include <cstdint>
#include <string>

#include "app/dialogs.h"

namespace tavro::app {

// What the Skin commands need of the windows.
class SkinView {
public:
    virtual ~SkinView() = default;
    // Opens a picture in the system's image viewer.
    virtual void OpenPicture(const std::string& path) = 0;
    // Shows a text in a window a user can read and copy from.
    virtual void ShowReport(const std::string& title, const std::string& text) = 0;
};

inline constexpr const char* kSheetTitle = "Contact sheet";
inline constexpr const char* kCheckTitle = "Check folder";
inline constexpr const char* kCompareTitle = "Compare with";
inline constexpr const char* kNothingUnpacked = "No folder has been unpacked yet: open an archive with Open EZX first.";

class SkinCommands {
public:
    SkinCommands(Dialogs& dialogs, SkinView& view) : dialogs_(dialogs), view_(view) {}

    // Asks where to save the sheet of WorkFolder (a PNG), draws it on `background`
    // (opaque ARGB) and opens it.
    void ContactSheet(std::uint32_t background);
    // Shows what packing WorkFolder would do, entry by entry.
    void CheckFolder();
    // Asks for an archive or a folder and shows how WorkFolder differs from it.
    void CompareWith();

    FileDialogState sheetDialog;
    FileDialogState compareDialog;

private:
    // WorkFolder, or none after telling the user that nothing is unpacked.
    bool HaveWorkFolder(const char* title);

    Dialogs& dialogs_;
    SkinView& view_;
};

}  // namespace tavro::app
