// Helpers the desktop's windows share: fonts in pixel sizes and outer window sizes.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QWidget;

namespace tavro::app {

// A font of `family` with characters `pixels` high; Qt picks the nearest family
// where this one is missing.
QFont PixelFont(const QString& family, int pixels, bool bold = false);

// Gives a control its component name, which tests find it by, and its place in its
// parent's client area.
template <typename Control>
Control* Placed(Control* control, const char* name, const QRect& place) {
    control->setObjectName(name);
    control->setGeometry(place);
    return control;
}

// Gives a top-level window the outer size (frame included) width x height, now and
// whenever the window system tells its frame; the client area takes what the frame
// leaves. Called once per window.
void SetOuterSize(QWidget* window, int width, int height);

// Centres a top-level window on its screen.
void CentreOnScreen(QWidget* window);

// Centres a dialog over the window that opens it (when that one is shown), kept on
// the screen.
void CentreOver(QWidget* dialog, const QWidget* owner);

}  // namespace tavro::app
