#include "app/dialogs.h"

#include <QApplication>
#include <QColor>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

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

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* owner, QFileDialog::AcceptMode mode) {
    auto dialog = std::make_unique<QFileDialog>(owner);
    dialog->setAcceptMode(mode);
    // Any name may be typed: a folder is picked by naming a file in it, and a save
    // replaces an existing file without asking, as every command expects.
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    KeepAbovePreview(dialog.get());
    return dialog;
}

}  // namespace

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
      open_(MakeFileDialog(owner, QFileDialog::AcceptOpen)),
      save_(MakeFileDialog(owner, QFileDialog::AcceptSave)) {}

QtDialogs::~QtDialogs() = default;

bool QtDialogs::RunFileDialog(FileDialogKind kind, FileDialogState& state) {
    QFileDialog& dialog = kind == FileDialogKind::Open ? *open_ : *save_;
    const QStringList filters = QtNameFilters(state.filter);
    dialog.setWindowTitle(Text(state.title));
    dialog.setNameFilters(filters);
    if (state.filterIndex >= 1 && state.filterIndex <= filters.size()) {
        dialog.selectNameFilter(filters[state.filterIndex - 1]);
    }
    dialog.selectFile(PathToQt(state.fileName));
    ArrowCursor arrow;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    state.fileName = PathFromQt(dialog.selectedFiles().constFirst());
    const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
    if (chosen >= 0) state.filterIndex = static_cast<int>(chosen) + 1;
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
    ArrowCursor arrow;
    box.exec();
}

void QtDialogs::ShowMessageBox(const std::string& caption, const std::string& text, bool owned) {
    QMessageBox box(QMessageBox::NoIcon, Text(caption), PathToQt(text), QMessageBox::Ok, owned ? owner_ : nullptr);
    KeepAbovePreview(&box);
    ArrowCursor arrow;
    box.exec();
}

}  // namespace tavro::app
