#include "app/progresswindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QThread>
#include <QWindow>

#include "app/windows.h"

namespace tavro::app {

namespace {
constexpr int kOuterWidth = 347;
constexpr int kOuterHeight = 93;
// How long showing waits for the window system to put the window on the screen.
constexpr int kExposeWaitMs = 500;
}  // namespace

TForm1::TForm1()
    // A caption bar without system menu or buttons: the window has no close box.
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("Form1");
    setWindowTitle("Please wait...");
    setFont(PixelFont("Tahoma", 11));
    SetOuterSize(this, kOuterWidth, kOuterHeight);

    ProgressBar1 = Placed(new QProgressBar(this), "ProgressBar1", {16, 24, 305, 17});
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
}

void TForm1::FormShow() {
    move(150, 300);
    ProgressBar1->setValue(0);
}

void TForm1::Show() {
    FormShow();
    show();
    // The window system maps a window some time after it is shown, and the caller
    // gives the event loop no chance until its work is done: wait for the window to
    // be on the screen, so that its first frame is painted rather than left black.
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() != nullptr && !windowHandle()->isExposed() && waited.elapsed() < kExposeWaitMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(2);
    }
    Flush();
}

void TForm1::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
    Flush();
}

void TForm1::SetPosition(int percent) {
    if (percent == ProgressBar1->value()) return;
    ProgressBar1->setValue(percent);
    Flush();
}

void TForm1::Close() {
    hide();
    Flush();
}

// The caller works on the user-interface thread without returning to the event loop:
// every change is painted at once, while mouse and keyboard input waits until the
// command has ended, so no other command can start inside this one.
void TForm1::Flush() {
    if (isVisible()) repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace tavro::app
