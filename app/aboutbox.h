// TAboutBox: the About box.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace tavro::app {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    TAboutBox();

    QFrame* Panel1;
    QLabel* ProductName;
    QLabel* Label1;
    QLabel* Version;
    QPushButton* OKButton;

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace tavro::app
