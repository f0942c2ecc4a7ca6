#include "app/previewwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

#include "app/settings.h"
#include "app/windows.h"
#include "imaging/fileio.h"
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
    // The preview never takes the keyboard: it stays in the main window's list, so the
    // arrow keys go on moving through the icons. (Showing without activating is not
    // enough: a window manager may give a window the keyboard when it maps it again.)
    // Its controls are worked with the mouse; typing into the zoom box changes nothing.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);

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
    // Typing into the box changes nothing; only picking an entry does. Qt takes a typed
    // entry's text as a pick when the box is left or Return is pressed.
    ComboBox1->installEventFilter(this);
    ComboBox1->lineEdit()->installEventFilter(this);
    connect(ComboBox1, &QComboBox::activated, this, &TForm2::ComboBox1Select);

    CheckBox1 = Placed(new QCheckBox("Stretch", this), "CheckBox1", {16, 352, 73, 17});
    connect(CheckBox1, &QCheckBox::clicked, this, &TForm2::CheckBox1Click);

    FormCreate();
}

TForm2::~TForm2() { RemoveTemporaryPictures(); }

void TForm2::RemoveTemporaryPictures() {
    for (const std::string& path : written_) {
        if (!path.empty()) RemoveFile(path);
    }
    written_.clear();
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
    const std::string before = ImagePath;
    try {
        DecodePicture(RawPath, ImagePath, Format, kind);
    } catch (...) {
        written_.insert({before, ImagePath});
        throw;
    }
    written_.insert(ImagePath);
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
    try {
        PreparePicture();
    } catch (...) {
        // The area shows no picture rather than the previous icon's.
        prepared_ = true;
        repaint();
        throw;
    }
    repaint();
}

void TForm2::paintEvent(QPaintEvent*) {
    // A paint request from the window system redraws from the raw file as well; its
    // errors are not shown (a box would take the focus and ask for the next paint).
    if (!prepared_) {
        try {
            PreparePicture();
        } catch (const std::exception&) {
            picture_ = QImage();
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

void TForm2::RestoreZoomText() {
    const int index = ComboBox1->currentIndex();
    ComboBox1->setEditText(index < 0 ? QStringLiteral("Zoom") : ComboBox1->itemText(index));
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ComboBox1 || watched == ComboBox1->lineEdit()) {
        // Before the box acts on leaving or on Return, its text is the entry in effect
        // again, so that the box finds nothing typed to pick.
        if (event->type() == QEvent::FocusOut) RestoreZoomText();
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                RestoreZoomText();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tavro::app
