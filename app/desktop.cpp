#include "app/desktop.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QApplication>
#include <QTimer>

#include "app/aboutbox.h"
#include "app/commands.h"
#include "app/mainwindow.h"
#include "app/previewwindow.h"
#include "app/progresswindow.h"
#include "app/settingsdialog.h"

namespace tavro::app {

namespace {

QtMessageHandler previousHandler = nullptr;

// Qt ends the process when it finds no display to open windows on; say so in one line
// and point at the command line instead.
void NoDisplayHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr,
                     "tavro: cannot open the desktop application: no display (%s); "
                     "see tavro --help for the command line\n",
                     message.section(u'\n', 0, 0).toLocal8Bit().constData());
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (previousHandler != nullptr) previousHandler(type, context, message);
}

bool DisplayConfigured() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

}  // namespace

Desktop::Desktop(Dialogs* dialogs)
    : SDIAppForm(std::make_unique<TSDIAppForm>(dialogs)),
      AboutBox(std::make_unique<TAboutBox>()),
      OKRightDlg(std::make_unique<TOKRightDlg>(SDIAppForm->DialogsInUse())),
      Form1(std::make_unique<TForm1>()),
      Form2(std::make_unique<TForm2>()) {
    SDIAppForm->SetWindows(AboutBox.get(), OKRightDlg.get(), Form1.get(), Form2.get());
}

Desktop::~Desktop() = default;

int RunDesktop(int argc, char** argv, const std::string& archivePath) {
    if (!DisplayConfigured()) {
        std::fputs("tavro: cannot open the desktop application: no display (DISPLAY is not set); "
                   "see tavro --help for the command line\n",
                   stderr);
        return 1;
    }
    previousHandler = qInstallMessageHandler(NoDisplayHandler);
    QApplication application(argc, argv);
    qInstallMessageHandler(previousHandler);
    // The title of the program-wide error box; windows keep their own captions.
    QApplication::setApplicationName(kAppTitle);
    QApplication::setQuitOnLastWindowClosed(false);

    Desktop desktop;
    desktop.SDIAppForm->show();
    if (!archivePath.empty()) {
        QTimer::singleShot(0, desktop.SDIAppForm.get(),
                           [&desktop, archivePath] { desktop.SDIAppForm->OpenArchiveFile(archivePath); });
    }
    return QApplication::exec();
}

}  // namespace tavro::app
