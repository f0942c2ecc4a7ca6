#include "app/aboutbox.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "app/windows.h"

namespace tavro::app {

namespace {
QLabel* MakeLabel(const QString& name, const QString& text, const QRect& place, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(place);
    return label;
}
}  // namespace

// Kept above the floating preview, as every modal dialog of the program.
TAboutBox::TAboutBox() : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint) {
    setObjectName("AboutBox");
    setWindowTitle("About");
    setFixedSize(298, 218);
    setFont(PixelFont("MS Sans Serif", 11));
    QPalette black = palette();
    black.setColor(QPalette::WindowText, Qt::black);
    setPalette(black);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(8, 8, 281, 161);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    ProductName = MakeLabel("ProductName", "Tavro ", QRect(64, 24, 166, 62), Panel1);
    ProductName->setFont(PixelFont("Arial", 53, true));
    QPalette red = ProductName->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    ProductName->setPalette(red);

    // These two size themselves to their text, which a substitute font may make wider.
    Label1 = MakeLabel("Label1", "ZUDA V2 iveveve.rir idiv izazez ova vizudodu", QRect(40, 88, 222, 13), Panel1);
    Label1->adjustSize();
    Version = MakeLabel("Version", "Version 0.5", QRect(104, 112, 53, 13), Panel1);
    Version->adjustSize();

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(120, 178, 65, 31);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showEvent(QShowEvent* event) {
    CentreOnScreen(this);
    OKButton->setFocus();
    QDialog::showEvent(event);
}

}  // namespace tavro::app
