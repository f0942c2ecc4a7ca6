#include "app/windows.h"

#include <algorithm>

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace tavro::app {

QFont PixelFont(const QString& family, int pixels, bool bold) {
    // The windows were laid out for these narrow families: where they are missing, a
    // family of the same widths fits the text into its place better than a wide one.
    static const bool substituted = [] {
        for (const char* name : {"Tahoma", "MS Sans Serif", "Arial"}) {
            QFont::insertSubstitutions(name, {"Liberation Sans", "Arimo", "Nimbus Sans", "Helvetica"});
        }
        return true;
    }();
    (void)substituted;
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

namespace {

QMargins FrameOf(const QWidget* window) {
    return window->windowHandle() != nullptr ? window->windowHandle()->frameMargins() : QMargins();
}

// The window system tells a window's frame only after the window is shown, some time
// later: fits the client area again whenever the frame changes.
class OuterSizeKeeper : public QObject {
public:
    OuterSizeKeeper(QWidget* window, QSize outer) : QObject(window), window_(window), outer_(outer) {
        window->installEventFilter(this);
    }

    void Apply() {
        const QMargins frame = FrameOf(window_);
        window_->resize(outer_.width() - frame.left() - frame.right(),
                        outer_.height() - frame.top() - frame.bottom());
        applied_ = frame;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize) && FrameOf(window_) != applied_) {
            Apply();
        }
        return false;
    }

private:
    QWidget* window_;
    QSize outer_;
    QMargins applied_;
};

}  // namespace

void SetOuterSize(QWidget* window, int width, int height) {
    (new OuterSizeKeeper(window, QSize(width, height)))->Apply();
}

void CentreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void CentreOver(QWidget* dialog, const QWidget* owner) {
    if (owner == nullptr || !owner->isVisible()) return;
    // Before its first showing a window has no size of its own yet: give it the one
    // it would take.
    if (!dialog->testAttribute(Qt::WA_Resized)) dialog->adjustSize();
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(owner->frameGeometry().center());
    if (const QScreen* screen = owner->screen()) {
        const QRect room = screen->availableGeometry();
        frame.moveLeft(std::max(room.left(), std::min(frame.left(), room.right() + 1 - frame.width())));
        frame.moveTop(std::max(room.top(), std::min(frame.top(), room.bottom() + 1 - frame.height())));
    }
    dialog->move(frame.topLeft());
}

}  // namespace tavro::app
