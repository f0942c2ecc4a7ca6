// TForm2: the icon preview, the selected icon on a 240 x 320 area (the handset's
// screen) filled with the viewer background, at its own size or zoomed.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include <QImage>
#include <QRect>
#include <QWidget>

#include "imaging/conversion.h"

class QCheckBox;
class QComboBox;

namespace tavro::app {

// Where a picture of iw x ih is drawn on the picture area: at its own size, or with
// "Stretch" at `zoom` times that size with each side cut to the area's on its own.
// Centred in 64-bit arithmetic; a picture larger than the area starts left of it.
QRect PreviewPlacement(int iw, int ih, bool stretch, int zoom, const QRect& area);

class TForm2 : public QWidget {
    Q_OBJECT
public:
    TForm2();
    ~TForm2() override;

    // Removes the temporary pictures its redraws wrote; done when it is destroyed.
    void RemoveTemporaryPictures();

    int Zoom = 1;
    std::string RawPath;
    std::string ImagePath;
    TTargetFormat Format = tfGif;
    std::uint32_t Background = 0;  // ARGB

    QWidget* Panel1;
    QComboBox* ComboBox1;
    QCheckBox* CheckBox1;

    // Decodes RawPath into ImagePath, loads and scales it, and paints. Errors of the
    // decoding go up to the caller before anything is painted.
    void RedrawPreview();

    // How the redraws that the user starts (zoom, "Stretch") report their errors: the
    // main window runs them as commands. Without it they go up to the caller.
    std::function<void(const std::function<void()>&)> runCommand;

    void ComboBox1Select(int index);
    void CheckBox1Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void PreparePicture();
    void RunRedraw();
    // The zoom box shows the zoom in effect again: typed text changes nothing.
    void RestoreZoomText();

    QImage picture_;  // the scaled picture of the last decoding
    QPoint position_;
    bool prepared_ = false;  // picture_ is fresh for the next paint
    std::set<std::string> written_;  // every ImagePath a redraw has written
};

}  // namespace tavro::app
