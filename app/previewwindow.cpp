#include "app/previewwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

#include "app/windows.h"
#include "archive/settings.h"
#include "imaging/standard.h"

namespace tavro::app {

namespace {
constexpr int kOuterWidth = 280;
constexpr int kOuterHeight = 423;
}  // namespace

QRect PreviewPlacement(int iw, int ih, bool stretch, int zoom, const QRect& area) {
    std::int64_t w = iw;
    std::int64_t h = ih;
    if (stretch) {
        w = std::min<std::int64_t>(w * zoom, area.width());
        h = std::min<std::int64_t>(h * zoom, area.height());
    }
    // Integer division truncates toward zero, also for a picture larger than the area.
    const std::int64_t x = area.left() + (area.width() - w) / 2;
    const std::int64_t y = area.top() + (area.height() - h) / 2;
    return QRect(static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h));
}

TForm2::TForm2()
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName("Form2");
    setWindowTitle("Icon Viewer");
    setFont(PixelFont("Tahoma", 11));
    SetOuterSize(this, kOuterWidth, kOuterHeight);

    // Only the panel's rectangle is used: the picture area that every redraw fills.
    Panel1 = Placed(new QWidget(this), "Panel1", {16, 16, 240, 320});
    Panel1->hide();

    ComboBox1 = Placed(new QComboBox(this), "ComboBox1", {168, 350, 89, 21});
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setCompleter(nullptr);
    ComboBox1->addItems({"1X", "2X", "4X", "8X"});
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText("Zoom");
    // Typing into the box changes nothing; only picking an entry does.
    ComboBox1->lineEdit()->installEventFilter(this);
    connect(ComboBox1, &QComboBox::activated, this, &TForm2::ComboBox1Select);

    CheckBox1 = Placed(new QCheckBox("Stretch", this), "CheckBox1", {16, 352, 73, 17});
    connect(CheckBox1, &QCheckBox::clicked, this, &TForm2::CheckBox1Click);

    FormCreate();
}

void TForm2::FormCreate() {
    Zoom = 1;
    move(360, 220);
    Background = AppSettings.DefaultViewerBack;
}

void TForm2::ComboBox1Select(int index) {
    if (index < 0) return;
    Zoom = 1 << index;
    RunRedraw();
}

void TForm2::CheckBox1Click() { RunRedraw(); }

void TForm2::RunRedraw() {
    if (runCommand) {
        runCommand([this] { RedrawPreview(); });
    } else {
        RedrawPreview();
    }
}

void TForm2::PreparePicture() {
    prepared_ = false;
    picture_ = QImage();
    TPictureKind kind = pkOther;
    DecodePicture(RawPath, ImagePath, Format, kind);
    const Bitmap loaded = LoadBitmap(ImagePath);
    const QRect placed =
        PreviewPlacement(loaded.Width(), loaded.Height(), CheckBox1->isChecked(), Zoom, Panel1->geometry());
    position_ = placed.topLeft();
    if (!placed.isEmpty()) {
        picture_ = QImage(placed.size(), QImage::Format_ARGB32);
        picture_.fill(Qt::transparent);
        QPainter painter(&picture_);
        painter.drawImage(QRect(QPoint(0, 0), placed.size()), loaded.Image());
    }
    prepared_ = true;
}

void TForm2::RedrawPreview() {
    PreparePicture();
    repaint();
}

void TForm2::paintEvent(QPaintEvent*) {
    // A paint request from the window system redraws from the raw file as well; its
    // errors are not shown (a box would take the focus and ask for the next paint).
    if (!prepared_) {
        try {
            PreparePicture();
        } catch (const std::exception&) {
            return;
        }
    }
    prepared_ = false;
    QPainter painter(this);
    painter.fillRect(Panel1->geometry(), QColor::fromRgba(Background));
    if (!picture_.isNull()) painter.drawImage(position_, picture_);
}

bool TForm2::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) update();
    return QWidget::event(event);
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ComboBox1->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tavro::app
