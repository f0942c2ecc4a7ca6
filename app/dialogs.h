// The dialogs the desktop shows, behind one small interface: the windows and commands
// call it, the real implementation uses Qt's file, colour and message dialogs, and
// tests replace it with a scripted one.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <QString>
#include <QStringList>

class QWidget;
class QFileDialog;

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

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows a file dialog; true when the user confirmed a file.
    virtual bool RunFileDialog(FileDialogKind kind, FileDialogState& state) = 0;
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

    bool RunFileDialog(FileDialogKind kind, FileDialogState& state) override;
    std::optional<std::uint32_t> PickColor(std::uint32_t start) override;
    void ShowStopBox(const std::string& caption, const std::string& text, const std::string& detail) override;
    void ShowMessageBox(const std::string& caption, const std::string& text, bool owned) override;

private:
    QWidget* ActiveParent() const;

    QWidget* owner_;
    std::unique_ptr<QFileDialog> open_;
    std::unique_ptr<QFileDialog> save_;
};

// A path's bytes as text for Qt, and back. Qt's own file-name conversion is used, so
// that a name that is not valid in the locale's encoding survives the round trip.
QString PathToQt(const std::string& path);
std::string PathFromQt(const QString& path);

// Qt's name filters ("EZX files (*.ezx)") for a filter "EZX files|*.ezx".
QStringList QtNameFilters(const std::string& filter);

}  // namespace tavro::app
