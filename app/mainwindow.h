// TSDIAppForm: the main window. It lists the unpacked icons, shows the selected one's
// size and type, and offers every command; its controls only call the commands.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>

#include "app/commands.h"
#include "app/skincommands.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QUrl;

namespace tavro::app {

class TAboutBox;
class TOKRightDlg;
class TForm1;
class TForm2;
class TReportWindow;

class TSDIAppForm : public QMainWindow, private Shell, private IconList, private MessageSink,
                    private SkinView {
    Q_OBJECT
public:
    explicit TSDIAppForm(Dialogs* dialogs = nullptr);
    ~TSDIAppForm() override;

    // The windows created after this one; set once at start-up.
    void SetWindows(TAboutBox* about, TOKRightDlg* settings, TForm1* progress, TForm2* preview);

    Dialogs& DialogsInUse() { return *dialogs_; }

    QFrame* Panel2;
    QLabel* Label1;
    QListWidget* ListBox1;
    QPushButton* Button1;
    QCheckBox* CheckBox1;
    QAction* FileOpen1;
    QAction* FileSave1;
    QAction* FileExit1;
    QAction* Convertimage1;
    QAction* Convertall2;
    QAction* Settings1;
    QAction* HelpAbout1;
    QAction* ContactSheet1;
    QAction* CheckFolder1;
    QAction* CompareWith1;
    TReportWindow* ReportWindow;
    // Opens a file in the system's viewer (QDesktopServices); tests record it instead.
    std::function<bool(const QUrl&)> OpenUrl;

    void FileOpen1Execute();
    void FileSave1Execute();
    void FileExit1Execute();
    void Convertimage1Click();
    void Convertall2Click();
    void Settings1Click();
    void HelpAbout1Execute();
    void ContactSheet1Execute();
    void CheckFolder1Execute();
    void CompareWith1Execute();
    void Button1Click();
    void ListBox1Click();
    void CheckBox1Click();
    // Open EZX for an archive given on the command line or dropped on the window.
    void OpenArchiveFile(const std::string& archivePath);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate();
    void BuildMenus();
    // Runs one command at a time: a command never starts inside another.
    void RunCommand(const std::function<void()>& command);
    void FlushIcons();

    // Shell
    int IconCount() const override;
    int SelectedIcon() const override;
    std::string IconAt(int index) const override;
    void ClearIcons() override;
    IconList& Icons() override { return *this; }
    void SetDescription(const std::string& text) override;
    bool PreviewShowing() const override;
    void ClosePreview() override;
    std::string ShowPreview(const std::string& rawPath, const std::string& imagePath,
                            TTargetFormat format) override;
    ProgressSink& Progress() override;
    MessageSink& Messages() override { return *this; }
    void SetBusy(bool busy) override;

    // IconList: names arrive during an unpacking and join the sorted list in one go.
    void Append(const std::string& name) override { pendingIcons_.push_back(name); }
    void SelectFirst() override;

    // SkinView
    void OpenPicture(const std::string& path) override;
    void ShowReport(const std::string& title, const std::string& text) override;

    // MessageSink
    void ShowError(const std::string& text) override;
    void ShowNotFound(const std::string& text) override;
    void ShowWarning(const std::string& path, const std::string& text) override;

    std::unique_ptr<Dialogs> ownDialogs_;
    Dialogs* dialogs_;
    Commands commands_;
    SkinCommands skinCommands_;
    TAboutBox* about_ = nullptr;
    TOKRightDlg* settings_ = nullptr;
    TForm1* progress_ = nullptr;
    TForm2* preview_ = nullptr;
    std::vector<std::string> pendingIcons_;
    bool running_ = false;
};

}  // namespace tavro::app
