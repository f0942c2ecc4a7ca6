// Renders each window of the desktop with the sample archive opened, for the README:
// tavro_screenshots OUTPUT_FOLDER SAMPLE_ARCHIVE (on the offscreen platform).
#include <cstdio>
#include <deque>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QTemporaryDir>

#include "app/aboutbox.h"
#include "app/commands.h"
#include "app/desktop.h"
#include "app/mainwindow.h"
#include "app/previewwindow.h"
#include "app/progresswindow.h"
#include "app/settingsdialog.h"

namespace {

// Answers the file dialogs from a list; every other dialog is left unanswered.
class AnswerDialogs : public tavro::app::Dialogs {
public:
    std::deque<std::string> files;
    bool RunFileDialog(tavro::app::FileDialogKind, tavro::app::FileDialogState& state,
                       const tavro::app::FileDialogOptions&) override {
        if (files.empty()) return false;
        state.fileName = files.front();
        files.pop_front();
        return true;
    }
    std::optional<std::uint32_t> PickColor(std::uint32_t) override { return std::nullopt; }
    void ShowStopBox(const std::string&, const std::string& text, const std::string&) override {
        std::fprintf(stderr, "tavro_screenshots: %s\n", text.c_str());
    }
    void ShowMessageBox(const std::string&, const std::string& text, bool) override {
        std::fprintf(stderr, "tavro_screenshots: %s\n", text.c_str());
    }
};

// The offscreen platform draws no window frames: the picture gets a plain caption bar
// with the window's title, since the title is part of what a window shows (the
// progress window's stage, for one).
QImage WithCaption(QWidget* window) {
    constexpr int kCaptionHeight = 22;
    const QPixmap client = window->grab();
    QImage framed(client.width(), client.height() + kCaptionHeight, QImage::Format_RGB32);
    QPainter painter(&framed);
    painter.fillRect(0, 0, framed.width(), kCaptionHeight, QColor(0x3A, 0x5F, 0x9F));
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(6, 0, framed.width() - 12, kCaptionHeight), Qt::AlignVCenter | Qt::AlignLeft,
                     window->windowTitle());
    painter.drawPixmap(0, kCaptionHeight, client);
    return framed;
}

bool Save(QWidget* window, const QString& folder, const char* name) {
    const QString path = folder + "/" + name;
    if (!WithCaption(window).save(path)) {
        std::fprintf(stderr, "tavro_screenshots: cannot write %s\n", path.toLocal8Bit().constData());
        return false;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tavro_screenshots OUTPUT_FOLDER SAMPLE_ARCHIVE\n");
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(tavro::app::kAppTitle);
    const QString out = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir work;

    AnswerDialogs dialogs;
    tavro::app::Desktop desktop(&dialogs);
    tavro::app::TSDIAppForm& main = *desktop.SDIAppForm;
    main.show();
    bool ok = true;

    // The progress window as it stands halfway through the unpacking.
    bool progressTaken = false;
    QObject::connect(desktop.Form1->ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
        if (progressTaken || value < 50) return;
        progressTaken = true;
        ok = Save(desktop.Form1.get(), out, "progress.png") && ok;
    });

    main.CheckBox1->click();
    dialogs.files = {argv[2], (work.path() + "/x").toStdString()};
    main.FileOpen1Execute();
    const auto clock = main.ListBox1->findItems("clock.k", Qt::MatchExactly);
    if (!clock.isEmpty()) main.ListBox1->setCurrentItem(clock.constFirst());
    ok = Save(&main, out, "main.png") && ok;
    ok = Save(desktop.Form2.get(), out, "preview-1x.png") && ok;

    desktop.Form2->CheckBox1->setChecked(true);
    desktop.Form2->ComboBox1->setCurrentIndex(2);
    desktop.Form2->ComboBox1Select(2);
    ok = Save(desktop.Form2.get(), out, "preview-4x.png") && ok;

    desktop.OKRightDlg->FormShow();
    ok = Save(desktop.OKRightDlg.get(), out, "settings.png") && ok;
    ok = Save(desktop.AboutBox.get(), out, "about.png") && ok;
    return ok && progressTaken ? 0 : 1;
}
