// Helpers the desktop's windows share: fonts in pixel sizes and outer window sizes.
#pragma once

#include <QFont>
#include <QString>

class QWidget;

namespace tavro::app {

// A font of `family` with characters `pixels` high; Qt picks the nearest family
// where this one is missing.
QFont PixelFont(const QString& family, int pixels, bool bold = false);

// Gives a top-level window the outer size (frame included) width x height, now and
// whenever the window system tells its frame; the client area takes what the frame
// leaves. Called once per window.
void SetOuterSize(QWidget* window, int width, int height);

// Centres a top-level window on its screen.
void CentreOnScreen(QWidget* window);

}  // namespace tavro::app
