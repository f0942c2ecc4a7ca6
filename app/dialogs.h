// The dialogs the desktop shows, behind one small interface: the windows and commands
// call it, the real implementation uses Qt's file, colour and message dialogs, and
// tests replace it with a scripted one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QString>
#include <QStringList>

class QMessageBox;
class QWidget;

namespace tavro::app {

// What a file dialog keeps between commands. A command sets the title, the filter and
// (where it wants) the file name before it shows the dialog; a confirmed dialog takes
// over the chosen file name and filter entry, a cancelled one leaves both as they were.
struct FileDialogState {
    std::string title;
    std::string filter;    // "EZX files|*.ezx|...": pairs of description and patterns
    std::string fileName;  // bytes of a path
    int filterIndex = 1;   // the chosen filter entry, counted from 1
};

enum class FileDialogKind { Open, Save };

// What one showing of a file dialog asks beyond its kept state.
struct FileDialogOptions {
    // Where the dialog starts when no earlier answer to it says otherwise and the file
    // name names no folder; empty: where it was.
    std::string startFolder;
    // A folder typed or picked is an answer too: the file name becomes that folder
    // with a trailing "/".
    bool acceptsFolder = false;
    // The file that a chosen name and filter entry would write. When given, the dialog
    // asks before taking a name whose file exists; No returns to the dialog.
    std::function<std::string(const std::string& name, int filterIndex)> writes;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows a file dialog with exactly the state's file name, an empty one included;
    // true when the user confirmed a file.
    virtual bool RunFileDialog(FileDialogKind kind, FileDialogState& state, const FileDialogOptions& options) = 0;
    // The colour picker, starting on `start` (0x00BBGGRR); the confirmed colour, or
    // none when the user cancelled.
    virtual std::optional<std::uint32_t> PickColor(std::uint32_t start) = 0;
    // The program-wide error box: a stop icon, `caption`, `text` and, when not empty, an
    // informative line (the file that failed).
    virtual void ShowStopBox(const std::string& caption, const std::string& text, const std::string& detail) = 0;
    // A plain box with an OK button ("Error", "Not Found"); `owned` makes it a child of
    // the main window.
    virtual void ShowMessageBox(const std::string& caption, const std::string& text, bool owned) = 0;
};

// Qt's dialogs. The two file dialogs are long-lived objects, so that what the user
// last picked (the folder, the filter entry) carries over between commands.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* owner);
    ~QtDialogs() override;

    bool RunFileDialog(FileDialogKind kind, FileDialogState& state, const FileDialogOptions& options) override;
    std::optional<std::uint32_t> PickColor(std::uint32_t start) override;
    void ShowStopBox(const std::string& caption, const std::string& text, const std::string& detail) override;
    void ShowMessageBox(const std::string& caption, const std::string& text, bool owned) override;

private:
    class FileDialog;

    QWidget* ActiveParent() const;

    QWidget* owner_;
    std::unique_ptr<FileDialog> open_;
    std::unique_ptr<FileDialog> save_;
};

// Makes a message box wide enough for its caption, which the window system would
// otherwise cut to the width of a short text.
void FitCaption(QMessageBox& box);

// The question before a file is replaced, as Qt's own: "NAME already exists.", Yes
// and No, No the default; true for Yes.
bool AskReplace(QWidget* parent, const QString& title, const std::string& path);

// A path's bytes as text for Qt, and back. Qt's own file-name conversion is used, so
// that a name that is not valid in the locale's encoding survives the round trip.
QString PathToQt(const std::string& path);
std::string PathFromQt(const QString& path);

// Qt's name filters ("EZX files (*.ezx)") for a filter "EZX files|*.ezx".
QStringList QtNameFilters(const std::string& filter);

}  // namespace tavro::app
