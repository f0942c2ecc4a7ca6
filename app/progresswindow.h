// TForm1: the progress window that unpacking and packing keep on screen while they
// work, a caption naming the stage and a bar from 0 to 100.
#pragma once

#include <QWidget>

#include "archive/sinks.h"

class QProgressBar;

namespace tavro::app {

class TForm1 : public QWidget, public ProgressSink {
    Q_OBJECT
public:
    TForm1();

    // Shows the window at 150, 300 with the bar at 0.
    void Show() override;
    void SetCaption(const std::string& caption) override;
    void SetPosition(int percent) override;
    void Close() override;

    QProgressBar* ProgressBar1;

private:
    void FormShow();
    void Flush();
};

}  // namespace tavro::app
