// Start-up and shut-down of the desktop application.
#pragma once

#include <memory>
#include <string>

namespace tavro::app {

class Dialogs;
class TSDIAppForm;
class TAboutBox;
class TOKRightDlg;
class TForm1;
class TForm2;

// The program's five windows, created once in this order and destroyed in reverse.
// The main window's creation sets the settings' defaults before the preview copies
// its background from them.
struct Desktop {
    // `dialogs` replaces Qt's dialogs (tests script them); null uses the real ones.
    explicit Desktop(Dialogs* dialogs = nullptr);
    ~Desktop();

    std::unique_ptr<TSDIAppForm> SDIAppForm;
    std::unique_ptr<TAboutBox> AboutBox;
    std::unique_ptr<TOKRightDlg> OKRightDlg;
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TForm2> Form2;
};

// Runs the desktop application until its main window closes and returns the exit code.
// With an archive path, Open EZX runs on it first (its folder dialog still asks where
// to unpack). Without a display it says so on stderr and returns 1.
int RunDesktop(int argc, char** argv, const std::string& archivePath);

}  // namespace tavro::app
