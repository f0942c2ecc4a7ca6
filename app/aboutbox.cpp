#include "app/aboutbox.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "app/windows.h"

namespace tavro::app {

// Kept above the floating preview, as every modal dialog of the program.
TAboutBox::TAboutBox() : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint) {
    setObjectName("AboutBox");
    setWindowTitle("About");
    setFixedSize(298, 218);
    setFont(PixelFont("MS Sans Serif", 11));
    QPalette black = palette();
    black.setColor(QPalette::WindowText, Qt::black);
    setPalette(black);

    Panel1 = Placed(new QFrame(this), "Panel1", {8, 8, 281, 161});
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    ProductName = Placed(new QLabel("Tavro ", Panel1), "ProductName", {64, 24, 166, 62});
    ProductName->setFont(PixelFont("Arial", 53, true));
    QPalette red = ProductName->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    ProductName->setPalette(red);

    // These two size themselves to their text, which a substitute font may make wider.
    Label1 = Placed(new QLabel("ZUDA V2 iveveve.rir idiv izazez ova vizudodu", Panel1), "Label1",
                    {40, 88, 222, 13});
    Label1->adjustSize();
    Version = Placed(new QLabel("Version 0.5", Panel1), "Version", {104, 112, 53, 13});
    Version->adjustSize();

    OKButton = Placed(new QPushButton("OK", this), "OKButton", {120, 178, 65, 31});
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showEvent(QShowEvent* event) {
    CentreOnScreen(this);
    OKButton->setFocus();
    QDialog::showEvent(event);
}

}  // namespace tavro::app
