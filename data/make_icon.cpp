// Draws the application's icon with QPainter: a handset whose screen holds a grid of
// small icon tiles. Writes one PNG per size into the icon theme's folder layout,
// FOLDER/<size>x<size>/apps/NAME.png, ready to be installed under icons/hicolor/.
//
// Usage: tavro_make_icon FOLDER NAME
#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QString>

#include <cstdio>

namespace {

constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};

// The drawing is laid out on a 256 x 256 canvas and scaled to each size; below 48
// pixels the screen holds 2 x 2 tiles instead of 3 x 3, so that each stays visible.
QImage DrawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);

    const QRectF body(44, 6, 168, 244);
    QLinearGradient shell(body.topLeft(), body.topRight());
    shell.setColorAt(0, QColor(70, 78, 92));
    shell.setColorAt(0.5, QColor(40, 45, 56));
    shell.setColorAt(1, QColor(22, 25, 32));
    p.setPen(Qt::NoPen);
    p.setBrush(shell);
    p.drawRoundedRect(body, 30, 30);

    const QRectF screen = body.adjusted(16, 24, -16, -40);
    QLinearGradient glass(screen.topLeft(), screen.bottomLeft());
    glass.setColorAt(0, QColor(40, 110, 200));
    glass.setColorAt(1, QColor(15, 40, 100));
    p.setBrush(glass);
    p.drawRoundedRect(screen, 8, 8);

    const QColor tiles[] = {{240, 80, 70}, {250, 190, 40}, {70, 200, 110}, {80, 200, 230}, {250, 250, 250},
                            {180, 110, 240}, {240, 130, 200}, {120, 220, 60}, {255, 150, 50}};
    const int grid = size < 48 ? 2 : 3;
    const qreal gap = size < 48 ? 16 : 10;
    const qreal cell = (screen.width() - gap * (grid + 1)) / grid;
    const qreal top = screen.top() + (screen.height() - grid * cell - (grid - 1) * gap) / 2;
    for (int i = 0; i < grid * grid; ++i) {
        const QRectF tile(screen.left() + gap + (i % grid) * (cell + gap), top + (i / grid) * (cell + gap), cell, cell);
        QLinearGradient shade(tile.topLeft(), tile.bottomLeft());
        shade.setColorAt(0, tiles[i].lighter(125));
        shade.setColorAt(1, tiles[i].darker(115));
        p.setBrush(shade);
        p.drawRoundedRect(tile, cell * 0.22, cell * 0.22);
    }

    p.setBrush(QColor(110, 120, 135));
    p.drawRoundedRect(QRectF(108, 226, 40, 10), 5, 5);  // the handset's key below the screen
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tavro_make_icon FOLDER NAME\n");
        return 2;
    }
    for (int size : kSizes) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        const QString path = folder + "/" + QString::fromLocal8Bit(argv[2]) + ".png";
        if (!QDir().mkpath(folder) || !DrawIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "tavro_make_icon: cannot write %s\n", path.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
