#include "app/dialogs.h"

#include <filesystem>
#include <system_error>

#include <QAbstractItemView>
#include <QApplication>
#include <QColor>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpacerItem>

#include "app/windows.h"
#include "imaging/paths.h"

namespace tavro::app {

namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

// A message box shows the normal arrow even while a command has set the wait cursor.
class ArrowCursor {
public:
    ArrowCursor() { QGuiApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~ArrowCursor() { QGuiApplication::restoreOverrideCursor(); }
    ArrowCursor(const ArrowCursor&) = delete;
    ArrowCursor& operator=(const ArrowCursor&) = delete;
};

// The preview floats above every other window; a modal dialog must not hide under it.
void KeepAbovePreview(QWidget* dialog) { dialog->setWindowFlag(Qt::WindowStaysOnTopHint); }

// A file that a write would replace; a folder is no such file (writing there fails).
bool WouldReplace(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
    return std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

// Qt's dialog keeps the name typed last in its field and the file picked last in its
// list when it is given an empty name: both are cleared, so that empty means empty.
void ShowFileName(QFileDialog& dialog, const std::string& fileName) {
    if (!fileName.empty()) {
        dialog.selectFile(PathToQt(fileName));
        return;
    }
    // In this order: an emptied field selects the folder itself in the list.
    if (auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit")) edit->clear();
    for (auto* view : dialog.findChildren<QAbstractItemView*>()) view->clearSelection();
}

}  // namespace

// The shared file dialog. Any name may be typed: a folder is picked by naming a file
// in it. Before it takes a name it asks what the showing's options want asked.
class QtDialogs::FileDialog : public QFileDialog {
public:
    FileDialog(QWidget* owner, AcceptMode mode) : QFileDialog(owner) {
        setAcceptMode(mode);
        setFileMode(QFileDialog::AnyFile);
        setOption(QFileDialog::DontUseNativeDialog);
        // The question is asked here, about the file the command will write.
        setOption(QFileDialog::DontConfirmOverwrite);
        KeepAbovePreview(this);
    }

    const FileDialogOptions* options = nullptr;  // of the current showing
    QStringList filters;
    QString folderAnswer;   // the folder taken as the answer, if one was
    bool answered = false;  // confirmed at least once

    void accept() override {
        const QStringList files = selectedFiles();
        if (options == nullptr || files.isEmpty()) return QFileDialog::accept();
        const QFileInfo chosen(files.constFirst());
        if (chosen.isDir()) {
            if (!options->acceptsFolder) return QFileDialog::accept();  // opens the folder
            folderAnswer = chosen.absoluteFilePath();
            return QDialog::accept();
        }
        if (options->writes) {
            const int entry = static_cast<int>(filters.indexOf(selectedNameFilter())) + 1;
            const std::string target = options->writes(PathFromQt(chosen.filePath()), entry);
            // No keeps the dialog open, as Qt's own question does.
            if (WouldReplace(target) && !AskReplace(this, windowTitle(), target)) return;
        }
        QFileDialog::accept();
    }
};

void FitCaption(QMessageBox& box) {
    // Room beside the caption for the frame's icon and buttons; captions are often bold.
    constexpr int kTitleBarRoom = 130;
    QFont font = box.font();
    font.setBold(true);
    const int width = QFontMetrics(font).horizontalAdvance(box.windowTitle()) + kTitleBarRoom;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
}

bool AskReplace(QWidget* parent, const QString& title, const std::string& path) {
    QMessageBox box(QMessageBox::Warning, title,
                    PathToQt(FileNamePart(path)) + " already exists.\nDo you want to replace it?",
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName("ReplaceQuestion");
    box.setDefaultButton(QMessageBox::No);
    KeepAbovePreview(&box);
    FitCaption(box);
    ArrowCursor arrow;
    return box.exec() == QMessageBox::Yes;
}

QString PathToQt(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string PathFromQt(const QString& path) { return QFile::encodeName(path).toStdString(); }

QStringList QtNameFilters(const std::string& filter) {
    QStringList filters;
    const QStringList parts = Text(filter).split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        // "*.*" names every file, also those without an extension.
        if (patterns == "*.*") patterns = "*";
        filters << parts[i] + " (" + patterns + ")";
    }
    return filters;
}

// A dialog opened from another (the colour picker from the settings) belongs to that
// one, so that the window manager keeps it above it.
QWidget* QtDialogs::ActiveParent() const {
    QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr ? modal : owner_;
}

QtDialogs::QtDialogs(QWidget* owner)
    : owner_(owner),
      open_(std::make_unique<FileDialog>(owner, QFileDialog::AcceptOpen)),
      save_(std::make_unique<FileDialog>(owner, QFileDialog::AcceptSave)) {}

QtDialogs::~QtDialogs() = default;

bool QtDialogs::RunFileDialog(FileDialogKind kind, FileDialogState& state, const FileDialogOptions& options) {
    FileDialog& dialog = kind == FileDialogKind::Open ? *open_ : *save_;
    const QStringList filters = QtNameFilters(state.filter);
    dialog.setWindowTitle(Text(state.title));
    dialog.setNameFilters(filters);
    if (state.filterIndex >= 1 && state.filterIndex <= filters.size()) {
        dialog.selectNameFilter(filters[state.filterIndex - 1]);
    }
    if (!dialog.answered && !options.startFolder.empty() && FolderPart(state.fileName).empty()) {
        dialog.setDirectory(PathToQt(options.startFolder));
    }
    ShowFileName(dialog, state.fileName);
    CentreOver(&dialog, owner_);
    dialog.options = &options;
    dialog.filters = filters;
    dialog.folderAnswer.clear();
    ArrowCursor arrow;
    const bool accepted = dialog.exec() == QDialog::Accepted;
    dialog.options = nullptr;
    if (!accepted) return false;
    if (!dialog.folderAnswer.isEmpty()) {
        state.fileName = WithTrailingSlash(PathFromQt(dialog.folderAnswer));
    } else if (!dialog.selectedFiles().isEmpty()) {
        state.fileName = PathFromQt(dialog.selectedFiles().constFirst());
    } else {
        return false;
    }
    const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
    if (chosen >= 0) state.filterIndex = static_cast<int>(chosen) + 1;
    dialog.answered = true;
    return true;
}

std::optional<std::uint32_t> QtDialogs::PickColor(std::uint32_t start) {
    // 0x00BBGGRR, the colour value the settings keep.
    const QColor initial(start & 0xFF, (start >> 8) & 0xFF, (start >> 16) & 0xFF);
    ArrowCursor arrow;
    QColorDialog dialog(initial, ActiveParent());
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    KeepAbovePreview(&dialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QColor picked = dialog.selectedColor();
    return static_cast<std::uint32_t>(picked.red()) | static_cast<std::uint32_t>(picked.green()) << 8 |
           static_cast<std::uint32_t>(picked.blue()) << 16;
}

void QtDialogs::ShowStopBox(const std::string& caption, const std::string& text, const std::string& detail) {
    QMessageBox box(QMessageBox::Critical, Text(caption), Text(text), QMessageBox::Ok, ActiveParent());
    if (!detail.empty()) box.setInformativeText(PathToQt(detail));
    KeepAbovePreview(&box);
    FitCaption(box);
    ArrowCursor arrow;
    box.exec();
}

void QtDialogs::ShowMessageBox(const std::string& caption, const std::string& text, bool owned) {
    QMessageBox box(QMessageBox::NoIcon, Text(caption), PathToQt(text), QMessageBox::Ok, owned ? owner_ : nullptr);
    KeepAbovePreview(&box);
    FitCaption(box);
    ArrowCursor arrow;
    box.exec();
}

}  // namespace tavro::app
