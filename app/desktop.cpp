#include "app/desktop.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <QTimer>

#include "app/aboutbox.h"
#include "app/commands.h"
#include "app/mainwindow.h"
#include "app/previewwindow.h"
#include "app/progresswindow.h"
#include "app/settingsdialog.h"

namespace tavro::app {

namespace {

// Installed while the application object connects to the display. Qt ends the process
// when it finds no display; say so in one line and point at the command line instead,
// without the platform plugin's warnings before it.
void NoDisplayHandler(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type == QtFatalMsg) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr,
                     "tavro: cannot open the desktop application: no display could be opened (DISPLAY=%s); "
                     "see tavro --help for the command line\n",
                     display != nullptr ? display : "");
        std::fflush(stderr);
        std::_Exit(1);
    }
}

bool DisplayConfigured() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

// The end of the session (SIGTERM, SIGHUP) or Ctrl+C ends the program as before, but
// first the preview removes its temporary pictures. The handler only writes the
// signal's number; the event loop does the rest and then raises the signal again.
int signalSockets[2] = {-1, -1};

void OnEndSignal(int signal) {
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}

void CleanUpOnEndSignals(TForm2& preview) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0) return;
    auto* notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, &preview);
    QObject::connect(notifier, &QSocketNotifier::activated, [&preview] {
        unsigned char signal = 0;
        if (::read(signalSockets[1], &signal, 1) != 1) return;
        preview.RemoveTemporaryPictures();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    });
    struct sigaction action = {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(signal, &action, nullptr);
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
    const QtMessageHandler previous = qInstallMessageHandler(NoDisplayHandler);
    QApplication application(argc, argv);
    qInstallMessageHandler(previous);
    // The title of the program-wide error box; windows keep their own captions.
    QApplication::setApplicationName(kAppTitle);
    QApplication::setQuitOnLastWindowClosed(false);
    // The installed desktop entry and icon carry this name: the desktop matches the
    // windows to the menu entry by it.
    QGuiApplication::setDesktopFileName(TAVRO_APP_ID);
    QApplication::setWindowIcon(QIcon::fromTheme(TAVRO_APP_ID));

    Desktop desktop;
    CleanUpOnEndSignals(*desktop.Form2);
    desktop.SDIAppForm->show();
    if (!archivePath.empty()) {
        QTimer::singleShot(0, desktop.SDIAppForm.get(),
                           [&desktop, archivePath] { desktop.SDIAppForm->OpenArchiveFile(archivePath); });
    }
    return QApplication::exec();
}

}  // namespace tavro::app
