#include "app/mainwindow.h"

#include <algorithm>

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include "app/aboutbox.h"
#include "app/previewwindow.h"
#include "app/progresswindow.h"
#include "app/reportwindow.h"
#include "app/settings.h"
#include "app/settingsdialog.h"
#include "app/windows.h"
#include "archive/iconnames.h"
#include "imaging/paths.h"

namespace tavro::app {

namespace {

constexpr int kOuterWidth = 360;
constexpr int kOuterHeight = 296;
constexpr int kListRowHeight = 16;

QAction* MakeAction(QObject* owner, const char* name, const char* text) {
    auto* action = new QAction(QString::fromUtf8(text), owner);
    action->setObjectName(name);
    return action;
}

// A dropped local file, when exactly one is dropped.
QString DroppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl url = data->urls().constFirst();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

TSDIAppForm::TSDIAppForm(Dialogs* dialogs)
    : ownDialogs_(dialogs == nullptr ? std::make_unique<QtDialogs>(this) : nullptr),
      dialogs_(dialogs == nullptr ? ownDialogs_.get() : dialogs),
      commands_(*this, *dialogs_),
      skinCommands_(*dialogs_, *this) {
    setObjectName("SDIAppForm");
    setWindowTitle("Tavro 0.5");
    setAcceptDrops(true);
    move(197, 111);
    SetOuterSize(this, kOuterWidth, kOuterHeight);

    auto* client = new QWidget(this);
    setCentralWidget(client);

    Panel2 = Placed(new QFrame(client), "Panel2", {-8, 0, 360, 33});
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);

    Label1 = Placed(new QLabel(Panel2), "Label1", {16, 8, 336, 17});
    Label1->setFont(PixelFont("Tahoma", 13));

    ListBox1 = Placed(new QListWidget(client), "ListBox1", {16, 40, 201, 161});
    ListBox1->setFont(PixelFont("Tahoma", 13));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setUniformItemSizes(true);
    // The user's changes of the selection, by mouse or keyboard; the window's own
    // changes block the signal.
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { ListBox1Click(); });

    Button1 = Placed(new QPushButton("Save Picture", client), "Button1", {240, 40, 97, 25});
    connect(Button1, &QPushButton::clicked, this, &TSDIAppForm::Button1Click);

    CheckBox1 = Placed(new QCheckBox("Show preview", client), "CheckBox1", {240, 88, 105, 17});
    // A click leaves the keyboard in the list, so that the arrow keys go on moving
    // through the icons with the preview shown.
    CheckBox1->setFocusPolicy(Qt::TabFocus);
    connect(CheckBox1, &QCheckBox::clicked, this, &TSDIAppForm::CheckBox1Click);

    ReportWindow = new TReportWindow(this);
    OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    BuildMenus();
    FormCreate();
}

TSDIAppForm::~TSDIAppForm() = default;

void TSDIAppForm::BuildMenus() {
    FileOpen1 = MakeAction(this, "FileOpen1", "&Open EZX...");
    FileOpen1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    FileSave1 = MakeAction(this, "FileSave1", "&Save to EZX...");
    FileSave1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    FileExit1 = MakeAction(this, "FileExit1", "E&xit");
    Convertimage1 = MakeAction(this, "Convertimage1", "Convert &image");
    Convertall2 = MakeAction(this, "Convertall2", "Convert &all");
    Settings1 = MakeAction(this, "Settings1", "&Settings");
    HelpAbout1 = MakeAction(this, "HelpAbout1", "&About...");

    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("File1");
    file->addAction(FileOpen1);
    file->addAction(FileSave1);
    file->addSeparator();
    file->addAction(FileExit1);
    QMenu* converter = menuBar()->addMenu("&Converter");
    converter->setObjectName("Converter1");
    converter->addAction(Convertimage1);
    converter->addAction(Convertall2);
    // The top-level item runs the command itself.
    menuBar()->addAction(Settings1);
    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("Help1");
    help->addAction(HelpAbout1);

    // The whole skin: a menu of its own after the others.
    ContactSheet1 = MakeAction(this, "ContactSheet1", "Contact &sheet...");
    CheckFolder1 = MakeAction(this, "CheckFolder1", "C&heck folder...");
    CompareWith1 = MakeAction(this, "CompareWith1", "Com&pare with...");
    QMenu* skin = menuBar()->addMenu("S&kin");
    skin->setObjectName("Skin1");
    skin->addAction(ContactSheet1);
    skin->addAction(CheckFolder1);
    skin->addAction(CompareWith1);
    connect(ContactSheet1, &QAction::triggered, this, &TSDIAppForm::ContactSheet1Execute);
    connect(CheckFolder1, &QAction::triggered, this, &TSDIAppForm::CheckFolder1Execute);
    connect(CompareWith1, &QAction::triggered, this, &TSDIAppForm::CompareWith1Execute);

    connect(FileOpen1, &QAction::triggered, this, &TSDIAppForm::FileOpen1Execute);
    connect(FileSave1, &QAction::triggered, this, &TSDIAppForm::FileSave1Execute);
    connect(FileExit1, &QAction::triggered, this, &TSDIAppForm::FileExit1Execute);
    connect(Convertimage1, &QAction::triggered, this, &TSDIAppForm::Convertimage1Click);
    connect(Convertall2, &QAction::triggered, this, &TSDIAppForm::Convertall2Click);
    connect(Settings1, &QAction::triggered, this, &TSDIAppForm::Settings1Click);
    connect(HelpAbout1, &QAction::triggered, this, &TSDIAppForm::HelpAbout1Execute);
}

// Runs first of all windows, before any other exists.
void TSDIAppForm::FormCreate() {
    // The name index belongs to each packing: nothing to empty here.
    SetDefaultSettings();
}

void TSDIAppForm::SetWindows(TAboutBox* about, TOKRightDlg* settings, TForm1* progress, TForm2* preview) {
    about_ = about;
    settings_ = settings;
    progress_ = progress;
    preview_ = preview;
    preview_->runCommand = [this](const std::function<void()>& command) { RunCommand(command); };
}

void TSDIAppForm::RunCommand(const std::function<void()>& command) {
    if (running_) return;
    running_ = true;
    commands_.Run(command);
    FlushIcons();
    running_ = false;
}

void TSDIAppForm::FileOpen1Execute() {
    RunCommand([this] { commands_.OpenEzx(); });
}

void TSDIAppForm::OpenArchiveFile(const std::string& archivePath) {
    RunCommand([this, archivePath] { commands_.OpenEzxArchive(archivePath); });
}

void TSDIAppForm::FileSave1Execute() {
    RunCommand([this] { commands_.SaveToEzx(); });
}

void TSDIAppForm::FileExit1Execute() { close(); }

void TSDIAppForm::Convertimage1Click() {
    RunCommand([this] { commands_.ConvertImage(); });
}

void TSDIAppForm::Convertall2Click() {
    RunCommand([this] { commands_.ConvertAll(); });
}

void TSDIAppForm::Settings1Click() {
    RunCommand([this] {
        if (settings_->exec() != QDialog::Accepted) return;
        AppSettings.TargetFormat = static_cast<TTargetFormat>(AppSettings.PendingFormat & 0xFF);
        // The preview shows the new colour the next time it redraws.
        preview_->Background = BackgroundFromColor(AppSettings.PendingBackColor);
    });
}

void TSDIAppForm::HelpAbout1Execute() {
    RunCommand([this] { about_->exec(); });
}

void TSDIAppForm::ContactSheet1Execute() {
    // The tiles take the viewer's background, as Settings last applied it.
    RunCommand([this] { skinCommands_.ContactSheet(preview_->Background); });
}

void TSDIAppForm::CheckFolder1Execute() {
    RunCommand([this] { skinCommands_.CheckFolder(); });
}

void TSDIAppForm::CompareWith1Execute() {
    RunCommand([this] { skinCommands_.CompareWith(); });
}

void TSDIAppForm::OpenPicture(const std::string& path) {
    OpenUrl(QUrl::fromLocalFile(PathToQt(path)));
}

void TSDIAppForm::ShowReport(const std::string& title, const std::string& text) {
    ReportWindow->ShowText(QString::fromStdString(title), QString::fromStdString(text));
}

void TSDIAppForm::Button1Click() {
    RunCommand([this] { commands_.SavePicture(); });
}

void TSDIAppForm::ListBox1Click() {
    RunCommand([this] {
        if (IconCount() > 0) commands_.ShowSelectedIcon();
    });
}

void TSDIAppForm::CheckBox1Click() {
    RunCommand([this] {
        if (CheckBox1->isChecked()) {
            AppSettings.ShowPreview = true;
            if (IconCount() > 0) commands_.ShowSelectedIcon();
        } else {
            AppSettings.ShowPreview = false;
            ClosePreview();
        }
    });
}

void TSDIAppForm::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program, whatever other window is open.
    event->accept();
    QCoreApplication::quit();
}

void TSDIAppForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TSDIAppForm::dropEvent(QDropEvent* event) {
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty()) return;
    event->acceptProposedAction();
    OpenArchiveFile(PathFromQt(file));
}

// The icon list, kept sorted as the command line lists the names. Entries keep the
// name's bytes: paths are built from them, never from the text shown.
void TSDIAppForm::FlushIcons() {
    if (pendingIcons_.empty()) return;
    std::vector<std::string> names = std::move(pendingIcons_);
    pendingIcons_.clear();
    for (int i = 0; i < ListBox1->count(); ++i) names.push_back(IconAt(i));
    const int selected = ListBox1->currentRow();
    const std::string selectedName = selected >= 0 ? IconAt(selected) : std::string();
    names = SortedForList(std::move(names));

    const QSignalBlocker blocker(ListBox1);
    ListBox1->clear();
    for (const std::string& name : names) {
        auto* item = new QListWidgetItem(QString::fromStdString(DisplayName(name)));
        item->setData(Qt::UserRole, QByteArray::fromStdString(name));
        item->setSizeHint(QSize(0, kListRowHeight));
        ListBox1->addItem(item);
    }
    if (selected >= 0) {
        const auto it = std::find(names.begin(), names.end(), selectedName);
        ListBox1->setCurrentRow(static_cast<int>(it - names.begin()));
    }
}

int TSDIAppForm::IconCount() const { return ListBox1->count() + static_cast<int>(pendingIcons_.size()); }

int TSDIAppForm::SelectedIcon() const { return ListBox1->currentRow(); }

std::string TSDIAppForm::IconAt(int index) const {
    return ListBox1->item(index)->data(Qt::UserRole).toByteArray().toStdString();
}

void TSDIAppForm::ClearIcons() {
    const QSignalBlocker blocker(ListBox1);
    pendingIcons_.clear();
    ListBox1->clear();
}

void TSDIAppForm::SelectFirst() {
    FlushIcons();
    const QSignalBlocker blocker(ListBox1);
    if (ListBox1->count() > 0) ListBox1->setCurrentRow(0);
}

void TSDIAppForm::SetDescription(const std::string& text) { Label1->setText(QString::fromStdString(text)); }

bool TSDIAppForm::PreviewShowing() const { return preview_->isVisible(); }

void TSDIAppForm::ClosePreview() { preview_->hide(); }

std::string TSDIAppForm::ShowPreview(const std::string& rawPath, const std::string& imagePath,
                                     TTargetFormat format) {
    preview_->RawPath = rawPath;
    preview_->ImagePath = imagePath;
    preview_->Format = format;
    preview_->show();
    preview_->raise();
    preview_->RedrawPreview();
    return preview_->ImagePath;
}

ProgressSink& TSDIAppForm::Progress() { return *progress_; }

void TSDIAppForm::SetBusy(bool busy) {
    if (busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

void TSDIAppForm::ShowError(const std::string& text) { dialogs_->ShowMessageBox("Error", text, true); }

void TSDIAppForm::ShowNotFound(const std::string& text) { dialogs_->ShowMessageBox("Not Found", text, false); }

void TSDIAppForm::ShowWarning(const std::string& path, const std::string& text) {
    dialogs_->ShowMessageBox("Warning", DisplayName(path) + ": " + DisplayName(text), true);
}

}  // namespace tavro::app
