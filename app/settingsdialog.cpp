#include "app/settingsdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "app/dialogs.h"
#include "app/settings.h"
#include "app/windows.h"
#include "imaging/formats.h"

namespace tavro::app {

void TShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setBrush(QColor(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

// Kept above the floating preview, as every modal dialog of the program.
TOKRightDlg::TOKRightDlg(Dialogs& dialogs)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint), dialogs_(dialogs) {
    setObjectName("OKRightDlg");
    setWindowTitle("Settings");
    setFixedSize(221, 323);
    // The system's dialog font at the size the layout was drawn for.
    setFont(PixelFont("MS Sans Serif", 11));

    Bevel1 = Placed(new QFrame(this), "Bevel1", {8, 8, 201, 249});
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    CheckBox1 = Placed(new QCheckBox("Enable conversion", this), "CheckBox1", {32, 24, 129, 17});
    CheckBox1->setChecked(true);
    CheckBox1->setEnabled(false);

    Label1 = new QLabel("Set target file format for bitmaps", this);
    Label1->setObjectName("Label1");
    Label1->move(32, 72);
    Label1->adjustSize();

    // The entry's index is the target format's value.
    ComboBox1 = Placed(new QComboBox(this), "ComboBox1", {32, 96, 153, 21});
    for (const StandardFormat& f : kStandardFormats) ComboBox1->addItem(f.label);
    ComboBox1->setMaxVisibleItems(4);
    ComboBox1->installEventFilter(this);
    connect(ComboBox1, &QComboBox::activated, this, &TOKRightDlg::ComboBox1Select);

    Button1 = Placed(new QPushButton("Viewer background", this), "Button1", {32, 216, 105, 25});
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TOKRightDlg::Button1Click);

    Shape1 = Placed(new TShape(this), "Shape1", {160, 216, 25, 25});

    OKBtn = Placed(new QPushButton("OK", this), "OKBtn", {132, 286, 75, 25});
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    // Esc closes a QDialog with Rejected, as this button does.
    CancelBtn = Placed(new QPushButton("Cancel", this), "CancelBtn", {36, 286, 75, 25});
    CancelBtn->setAutoDefault(false);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TOKRightDlg::showEvent(QShowEvent* event) {
    FormShow();
    CentreOnScreen(this);
    QDialog::showEvent(event);
}

void TOKRightDlg::FormShow() {
    ComboBox1->setCurrentIndex(AppSettings.PendingFormat);
    Shape1->Color = AppSettings.PendingBackColor;
    Shape1->update();
}

void TOKRightDlg::ComboBox1Select(int index) { AppSettings.PendingFormat = index; }

void TOKRightDlg::Button1Click() {
    const std::optional<std::uint32_t> picked = dialogs_.PickColor(pickerColor_);
    if (!picked) return;
    pickerColor_ = *picked;
    Shape1->Color = *picked;
    Shape1->update();
    AppSettings.PendingBackColor = *picked;
}

// The format list drops down as soon as a key that types is pressed in it. Esc, Enter,
// Tab, the arrows and combinations with Ctrl or Alt do what they do in every dialog.
bool TOKRightDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ComboBox1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool types = !key->text().isEmpty() && key->text().front().isPrint() &&
                           !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        if (types) {
            ComboBox1->showPopup();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tavro::app
