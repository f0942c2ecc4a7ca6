// Makes the sample archive examples/iconres.ezx: every picture in it is drawn here
// with QPainter (gradients, anti-aliased shapes, stroked glyphs, real transparency)
// and written into its handset format by the core's own conversion door.
//
// Usage: tavro_make_sample OUTPUT.ezx
//
// The archive it writes, in file order (archive/format.h):
//   0      header text, 1575 bytes: "motoskin\n\nv1.00\n", P as 8 hex digits, free text
//   1575   the names in ascending byte order, each followed by LF; 0-3 zero bytes
//   P      table header: 0xABCDDCBA, 1575, N, P + 20, P + 20 + 12 N
//   P + 20 ID table, N slots of 3 words (ResourceId, name offset, data offset);
//          an empty slot is 0xFFFFFFFF three times
//   ...    data records in name order: 0xDCBAABCD, size S, S bytes
// This is the layout packing writes, so unpacking the sample and packing the folder
// again gives the same bytes back. Icon file names differ in their base names, so
// that no two entries share a file in icons/.
#include <stdlib.h>

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/format.h"
#include "imaging/standard.h"
#include "imaging/bytes.h"
#include "imaging/conversion.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/paths.h"

namespace tavro::sample {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kHeaderTextSize = kHeaderCopySize;  // the header is exactly what unpacking copies
constexpr std::uint32_t kSlotCount = 40;
const std::set<std::uint32_t> kEmptySlots = {6, 17, 29, 38};

// ---------------------------------------------------------------- glyphs

// A small stroke font of our own: each glyph is a set of polylines on a 4 x 6 grid,
// y growing downwards.
using Stroke = std::vector<QPointF>;
const std::map<char, std::vector<Stroke>>& Glyphs() {
    static const std::map<char, std::vector<Stroke>> glyphs = {
        {'0', {{{1, 0}, {3, 0}, {4, 1}, {4, 5}, {3, 6}, {1, 6}, {0, 5}, {0, 1}, {1, 0}}}},
        {'1', {{{1, 1}, {2, 0}, {2, 6}}, {{1, 6}, {3, 6}}}},
        {'2', {{{0, 1}, {1, 0}, {3, 0}, {4, 1}, {4, 2}, {0, 6}, {4, 6}}}},
        {'3', {{{0, 0}, {4, 0}, {2, 2.5}, {3, 2.5}, {4, 3.5}, {4, 5}, {3, 6}, {1, 6}, {0, 5}}}},
        {'4', {{{3, 6}, {3, 0}, {0, 4}, {4, 4}}}},
        {'5', {{{4, 0}, {0, 0}, {0, 3}, {3, 3}, {4, 4}, {4, 5}, {3, 6}, {0, 6}}}},
        {'6', {{{4, 0}, {2, 0}, {0, 2}, {0, 5}, {1, 6}, {3, 6}, {4, 5}, {4, 4}, {3, 3}, {0, 3}}}},
        {'7', {{{0, 0}, {4, 0}, {1, 6}}}},
        {'8',
         {{{1, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}, {1, 3}, {0, 2}, {0, 1}, {1, 0}},
          {{1, 3}, {0, 4}, {0, 5}, {1, 6}, {3, 6}, {4, 5}, {4, 4}, {3, 3}}}},
        {'9', {{{0, 6}, {2, 6}, {4, 4}, {4, 1}, {3, 0}, {1, 0}, {0, 1}, {0, 2}, {1, 3}, {4, 3}}}},
        {'A', {{{0, 6}, {2, 0}, {4, 6}}, {{0.7, 4}, {3.3, 4}}}},
        {'O', {{{1, 0}, {3, 0}, {4, 1}, {4, 5}, {3, 6}, {1, 6}, {0, 5}, {0, 1}, {1, 0}}}},
        {'R', {{{0, 6}, {0, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}, {0, 3}}, {{2, 3}, {4, 6}}}},
        {'T', {{{0, 0}, {4, 0}}, {{2, 0}, {2, 6}}}},
        {'V', {{{0, 0}, {2, 6}, {4, 0}}}},
        {'+', {{{0, 3}, {4, 3}}, {{2, 1}, {2, 5}}}},
    };
    return glyphs;
}

// Draws text with its top left corner at (x, y), glyphs `height` pixels tall.
void DrawGlyphs(QPainter& p, const std::string& text, qreal x, qreal y, qreal height, qreal penWidth,
                const QColor& colour) {
    const qreal unit = height / 6.0;
    QPainterPath path;
    for (char c : text) {
        auto it = Glyphs().find(c);
        if (it != Glyphs().end()) {
            for (const Stroke& stroke : it->second) {
                path.moveTo(x + stroke[0].x() * unit, y + stroke[0].y() * unit);
                for (std::size_t i = 1; i < stroke.size(); ++i) {
                    path.lineTo(x + stroke[i].x() * unit, y + stroke[i].y() * unit);
                }
            }
        }
        x += 5.5 * unit;
    }
    QPen pen(colour, penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.strokePath(path, pen);
}

qreal GlyphsWidth(const std::string& text, qreal height) {
    return text.empty() ? 0 : (5.5 * static_cast<qreal>(text.size()) - 1.5) * height / 6.0;
}

// ---------------------------------------------------------------- drawings

using Drawing = std::function<void(QPainter&, int w, int h)>;

QLinearGradient Vertical(int h, const QColor& top, const QColor& bottom) {
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

void Battery(QPainter& p, int w, int h, int bars, const QColor& fill) {
    p.setPen(QPen(QColor(230, 235, 240), 1.4));
    p.setBrush(QColor(20, 24, 30, 255));
    p.drawRoundedRect(QRectF(1.5, 3.5, w - 5, h - 7), 2, 2);
    p.setBrush(QColor(230, 235, 240));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(w - 3.5, h / 2.0 - 2.5, 2.5, 5));
    qreal cell = (w - 9.0) / 4;
    p.setBrush(Vertical(h, fill.lighter(140), fill.darker(120)));
    for (int i = 0; i < bars; ++i) p.drawRect(QRectF(3.5 + i * cell, 5.5, cell - 1, h - 11));
}

void Signal(QPainter& p, int w, int h) {
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        qreal barH = (h - 2) * (i + 1) / 4.0;
        p.setBrush(i < 3 ? QColor(250, 250, 250) : QColor(120, 120, 120, 255));
        p.drawRoundedRect(QRectF(1 + i * (w - 2) / 4.0, h - 1 - barH, (w - 2) / 4.0 - 1.5, barH), 1, 1);
    }
}

void Handset(QPainter& p, int w, int h, const QColor& colour, int arrow) {
    QPainterPath body;
    body.moveTo(w * 0.15, h * 0.35);
    body.cubicTo(w * 0.1, h * 0.7, w * 0.35, h * 0.9, w * 0.65, h * 0.88);
    body.lineTo(w * 0.7, h * 0.7);
    body.lineTo(w * 0.55, h * 0.62);
    body.cubicTo(w * 0.45, h * 0.65, w * 0.33, h * 0.52, w * 0.36, h * 0.42);
    body.lineTo(w * 0.3, h * 0.25);
    body.closeSubpath();
    p.setPen(QPen(colour.darker(150), 1));
    p.setBrush(Vertical(h, colour.lighter(130), colour));
    p.drawPath(body);
    if (arrow != 0) {
        QPen pen(arrow > 0 ? QColor(60, 200, 90) : QColor(230, 60, 50), 1.8, Qt::SolidLine, Qt::RoundCap,
                 Qt::RoundJoin);
        p.setPen(pen);
        QPointF a(w * 0.55, h * 0.4), b(w * 0.85, h * 0.1);
        if (arrow < 0) std::swap(a, b);
        p.drawLine(a, b);
        QPointF d = (b - a) / std::hypot(b.x() - a.x(), b.y() - a.y());
        QPointF n(-d.y(), d.x());
        p.drawLine(b, b - d * 4 + n * 3);
        p.drawLine(b, b - d * 4 - n * 3);
    }
}

void Envelope(QPainter& p, int w, int h, bool fresh) {
    QRectF r(1.5, h * 0.22, w - 3, h * 0.58);
    p.setPen(QPen(QColor(90, 70, 40), 1));
    p.setBrush(Vertical(h, QColor(255, 244, 214), QColor(226, 200, 150)));
    p.drawRect(r);
    p.drawLine(r.topLeft(), QPointF(w / 2.0, r.center().y() + 1));
    p.drawLine(r.topRight(), QPointF(w / 2.0, r.center().y() + 1));
    if (fresh) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(230, 40, 40));
        p.drawEllipse(QPointF(w - 4.0, 4.0), 3.5, 3.5);
    }
}

void Padlock(QPainter& p, int w, int h) {
    p.setPen(QPen(QColor(170, 175, 185), 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(w * 0.28, h * 0.08, w * 0.44, h * 0.55), 0, 180 * 16);
    p.drawLine(QPointF(w * 0.28, h * 0.35), QPointF(w * 0.28, h * 0.45));
    p.drawLine(QPointF(w * 0.72, h * 0.35), QPointF(w * 0.72, h * 0.45));
    p.setPen(QPen(QColor(120, 80, 10), 1));
    p.setBrush(Vertical(h, QColor(255, 214, 90), QColor(210, 150, 20)));
    p.drawRoundedRect(QRectF(w * 0.15, h * 0.45, w * 0.7, h * 0.48), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(80, 50, 5));
    p.drawEllipse(QPointF(w / 2.0, h * 0.65), 1.6, 1.6);
}

void Speaker(QPainter& p, int w, int h, int waves) {
    QPolygonF cone;
    cone << QPointF(w * 0.1, h * 0.38) << QPointF(w * 0.3, h * 0.38) << QPointF(w * 0.52, h * 0.15)
         << QPointF(w * 0.52, h * 0.85) << QPointF(w * 0.3, h * 0.62) << QPointF(w * 0.1, h * 0.62);
    p.setPen(QPen(QColor(40, 40, 60), 1));
    p.setBrush(Vertical(h, QColor(200, 210, 255), QColor(90, 110, 200)));
    p.drawPolygon(cone);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < waves; ++i) {
        p.setPen(QPen(QColor(240, 240, 255), 1.3, Qt::SolidLine, Qt::RoundCap));
        qreal r = w * (0.16 + 0.14 * i);
        p.drawArc(QRectF(w * 0.52 - r, h / 2.0 - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
    }
}

void Star(QPainter& p, int w, int h) {
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        qreal a = -M_PI / 2 + i * M_PI / 5;
        qreal r = (i % 2 == 0 ? 0.48 : 0.2) * std::min(w, h);
        star << QPointF(w / 2.0 + r * std::cos(a), h / 2.0 + 0.5 + r * std::sin(a));
    }
    QRadialGradient g(w * 0.45, h * 0.4, w * 0.5);
    g.setColorAt(0, QColor(255, 250, 200));
    g.setColorAt(1, QColor(240, 170, 20));
    p.setPen(QPen(QColor(150, 90, 0), 1));
    p.setBrush(g);
    p.drawPolygon(star);
}

void Bluetooth(QPainter& p, int w, int h) {
    p.setPen(Qt::NoPen);
    p.setBrush(Vertical(h, QColor(80, 140, 255), QColor(20, 60, 190)));
    p.drawRoundedRect(QRectF(w * 0.2, 0.5, w * 0.6, h - 1), w * 0.3, w * 0.3);
    QPainterPath rune;
    rune.moveTo(w * 0.35, h * 0.3);
    rune.lineTo(w * 0.65, h * 0.65);
    rune.lineTo(w * 0.5, h * 0.8);
    rune.lineTo(w * 0.5, h * 0.2);
    rune.lineTo(w * 0.65, h * 0.35);
    rune.lineTo(w * 0.35, h * 0.7);
    p.strokePath(rune, QPen(Qt::white, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void AlarmClock(QPainter& p, int w, int h) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 40, 40));
    p.drawEllipse(QPointF(w * 0.2, h * 0.2), w * 0.16, h * 0.16);
    p.drawEllipse(QPointF(w * 0.8, h * 0.2), w * 0.16, h * 0.16);
    QRadialGradient g(w * 0.4, h * 0.45, w * 0.5);
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, QColor(200, 205, 215));
    p.setPen(QPen(QColor(200, 40, 40), 1.6));
    p.setBrush(g);
    p.drawEllipse(QPointF(w / 2.0, h * 0.56), w * 0.38, h * 0.38);
    p.setPen(QPen(QColor(30, 30, 30), 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(w / 2.0, h * 0.56), QPointF(w / 2.0, h * 0.32));
    p.drawLine(QPointF(w / 2.0, h * 0.56), QPointF(w * 0.68, h * 0.62));
}

void Calendar(QPainter& p, int w, int h) {
    p.setPen(QPen(QColor(60, 60, 70), 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(1.5, 2.5, w - 3, h - 4), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(Vertical(6, QColor(240, 80, 70), QColor(190, 30, 30)));
    p.drawRect(QRectF(2, 3, w - 4, h * 0.25));
    qreal gh = h * 0.42;
    DrawGlyphs(p, "31", (w - GlyphsWidth("31", gh)) / 2, h * 0.42, gh, 1.5, QColor(40, 40, 50));
}

void Clock(QPainter& p, int w, int h) {
    QRadialGradient g(w * 0.35, h * 0.3, w * 0.7);
    g.setColorAt(0, QColor(250, 252, 255));
    g.setColorAt(1, QColor(150, 170, 200));
    p.setPen(QPen(QColor(40, 50, 70), 1.5));
    p.setBrush(g);
    p.drawEllipse(QRectF(1, 1, w - 2, h - 2));
    p.setPen(QPen(QColor(40, 50, 70), 1.2, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 12; ++i) {
        qreal a = i * M_PI / 6;
        QPointF c(w / 2.0, h / 2.0);
        QPointF d(std::sin(a), -std::cos(a));
        p.drawLine(c + d * (w * 0.36), c + d * (w * 0.42));
    }
    qreal gh = h * 0.18;
    DrawGlyphs(p, "12", (w - GlyphsWidth("12", gh)) / 2, h * 0.14, gh, 1.0, QColor(40, 50, 70));
    p.setPen(QPen(QColor(200, 30, 30), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(w / 2.0, h / 2.0), QPointF(w * 0.72, h * 0.62));
    p.setPen(QPen(QColor(30, 30, 30), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(w / 2.0, h / 2.0), QPointF(w / 2.0, h * 0.26));
}

void OpaqueTile(QPainter& p, int w, int h) {
    p.fillRect(0, 0, w, h, Vertical(h, QColor(20, 40, 90), QColor(5, 10, 30)));
    p.setPen(QPen(QColor(255, 255, 255, 40), 1));
    for (int x = -h; x < w; x += 6) p.drawLine(x, h, x + h, 0);
}

void TitleBar(QPainter& p, int w, int h) {
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(110, 130, 160));
    g.setColorAt(0.5, QColor(50, 70, 100));
    g.setColorAt(1, QColor(25, 35, 55));
    p.fillRect(0, 0, w, h, g);
    qreal gh = h * 0.5;
    DrawGlyphs(p, "TAVRO", 4, h * 0.25, gh, 1.4, QColor(235, 240, 250));
    DrawGlyphs(p, "12+30", w - 4 - GlyphsWidth("12+30", gh), h * 0.25, gh, 1.2, QColor(200, 220, 255));
}

void SoftkeyBar(QPainter& p, int w, int h) {
    p.fillRect(0, 0, w, h, Vertical(h, QColor(60, 60, 60), QColor(10, 10, 10)));
    p.setPen(Qt::NoPen);
    p.setBrush(Vertical(h, QColor(120, 200, 255), QColor(20, 90, 200)));
    p.drawRoundedRect(QRectF(w / 2.0 - 10, 3, 20, h - 6), 4, 4);
}

// A 32-bit menu icon: a soft-shadowed rounded tile with a symbol drawn by `symbol`.
void MenuTile(QPainter& p, int w, int h, const QColor& base, const std::function<void(QPainter&, QRectF)>& symbol) {
    for (int i = 4; i >= 1; --i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 18));
        p.drawRoundedRect(QRectF(2 + i * 0.3, 3 + i * 0.5, w - 4, h - 5), 6 + i, 6 + i);
    }
    QRectF tile(2, 1.5, w - 5, h - 5);
    p.setBrush(Vertical(h, base.lighter(150), base.darker(130)));
    p.setPen(QPen(base.darker(170), 1));
    p.drawRoundedRect(tile, 6, 6);
    QLinearGradient gloss(0, tile.top(), 0, tile.center().y());
    gloss.setColorAt(0, QColor(255, 255, 255, 150));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawRoundedRect(tile.adjusted(1.5, 1.5, -1.5, -tile.height() / 2), 5, 5);
    symbol(p, tile.adjusted(6, 6, -6, -6));
}

void CameraSymbol(QPainter& p, QRectF r) {
    p.setPen(QPen(Qt::white, 1.4));
    p.setBrush(QColor(30, 30, 40, 200));
    p.drawRoundedRect(r.adjusted(0, r.height() * 0.2, 0, -r.height() * 0.05), 2, 2);
    p.setBrush(QColor(120, 180, 255));
    p.drawEllipse(r.center() + QPointF(0, r.height() * 0.1), r.width() * 0.22, r.width() * 0.22);
}

void ContactsSymbol(QPainter& p, QRectF r) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawEllipse(QPointF(r.center().x(), r.top() + r.height() * 0.3), r.width() * 0.2, r.width() * 0.2);
    p.drawChord(QRectF(r.left() + r.width() * 0.15, r.top() + r.height() * 0.55, r.width() * 0.7, r.height() * 0.8),
                0, 180 * 16);
}

void GamesSymbol(QPainter& p, QRectF r) {
    p.setPen(QPen(QColor(40, 20, 60), 1));
    p.setBrush(QColor(250, 250, 250, 235));
    p.drawRoundedRect(r.adjusted(0, r.height() * 0.25, 0, -r.height() * 0.2), 4, 4);
    p.setPen(QPen(QColor(40, 20, 60), 1.6, Qt::SolidLine, Qt::RoundCap));
    QPointF c(r.left() + r.width() * 0.28, r.center().y() + 0.5);
    p.drawLine(c - QPointF(2.5, 0), c + QPointF(2.5, 0));
    p.drawLine(c - QPointF(0, 2.5), c + QPointF(0, 2.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 40, 80));
    p.drawEllipse(QPointF(r.right() - r.width() * 0.25, r.center().y() - 1), 1.5, 1.5);
    p.drawEllipse(QPointF(r.right() - r.width() * 0.15, r.center().y() + 2), 1.5, 1.5);
}

void MusicSymbol(QPainter& p, QRectF r) {
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    QPointF a(r.left() + r.width() * 0.35, r.bottom() - 3), b(r.right() - 2, r.bottom() - 5);
    p.drawLine(a + QPointF(2.5, 0), QPointF(a.x() + 2.5, r.top() + 2));
    p.drawLine(b + QPointF(2.5, 0), QPointF(b.x() + 2.5, r.top()));
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(a.x() + 2.5, r.top() + 2.5), QPointF(b.x() + 2.5, r.top() + 0.5));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(a, 3, 2.3);
    p.drawEllipse(b, 3, 2.3);
}

void SettingsSymbol(QPainter& p, QRectF r) {
    QPointF c = r.center();
    qreal outer = r.width() * 0.5, inner = r.width() * 0.36;
    QPolygonF gear;
    for (int i = 0; i < 32; ++i) {
        qreal a = i * 2 * M_PI / 32;
        qreal rad = (i / 2) % 2 == 0 ? outer : inner;
        gear << c + QPointF(rad * std::cos(a), rad * std::sin(a));
    }
    QPainterPath path;
    path.addPolygon(gear);
    path.closeSubpath();
    path.addEllipse(c, r.width() * 0.15, r.width() * 0.15);  // a real hole: odd-even fill
    p.setPen(QPen(QColor(40, 40, 40, 160), 0.8));
    p.setBrush(QColor(235, 235, 240, 240));
    p.drawPath(path);
}

void MessageSymbol(QPainter& p, QRectF r) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 235));
    QPainterPath bubble;
    bubble.addRoundedRect(r.adjusted(0, 0, 0, -r.height() * 0.25), 4, 4);
    QPolygonF tail;
    tail << QPointF(r.left() + 4, r.bottom() - r.height() * 0.3) << QPointF(r.left() + 3, r.bottom())
         << QPointF(r.left() + 10, r.bottom() - r.height() * 0.3);
    bubble.addPolygon(tail);
    p.drawPath(bubble.simplified());
}

void GlowOrb(QPainter& p, int w, int h) {
    QRadialGradient g(w / 2.0, h / 2.0, w / 2.0);
    g.setColorAt(0, QColor(255, 255, 220, 255));
    g.setColorAt(0.3, QColor(255, 200, 60, 220));
    g.setColorAt(0.7, QColor(255, 120, 0, 90));
    g.setColorAt(1, QColor(255, 80, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(QRectF(0, 0, w, h));
}

void ShadowRing(QPainter& p, int w, int h) {
    QRadialGradient g(w / 2.0, h / 2.0, w / 2.0);
    g.setColorAt(0.55, QColor(0, 0, 0, 0));
    g.setColorAt(0.7, QColor(10, 20, 60, 200));
    g.setColorAt(0.85, QColor(60, 120, 255, 120));
    g.setColorAt(1, QColor(60, 120, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(QRectF(0, 0, w, h));
}

void VolumeMeter(QPainter& p, int w, int h) {
    for (int i = 0; i < 6; ++i) {
        qreal barH = h * (0.25 + 0.12 * i);
        QColor c = QColor::fromHsv(120 - i * 22, 220, 250, 90 + i * 30);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(1 + i * (w - 2) / 6.0, h - 1 - barH, (w - 2) / 6.0 - 1, barH), 1.5, 1.5);
    }
}

void Busy(QPainter& p, int w, int h) {
    for (int i = 0; i < 8; ++i) {
        qreal a = i * M_PI / 4;
        QPointF c(w / 2.0 + w * 0.34 * std::cos(a), h / 2.0 + h * 0.34 * std::sin(a));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 120, 220, 255 - i * 28));
        p.drawEllipse(c, w * 0.09, w * 0.09);
    }
}

void Note(QPainter& p, int w, int h) {
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(Vertical(h, QColor(255, 250, 150), QColor(240, 210, 60)));
    QPolygonF sheet;
    sheet << QPointF(2, 1.5) << QPointF(w - 6, 1.5) << QPointF(w - 2, 5.5) << QPointF(w - 2, h - 1.5)
          << QPointF(2, h - 1.5);
    p.drawPolygon(sheet);
    p.setPen(QPen(QColor(120, 100, 40), 1));
    for (int y = 6; y < h - 3; y += 3) p.drawLine(QPointF(4, y + 0.5), QPointF(w - 4, y + 0.5));
}

void Wifi(QPainter& p, int w, int h) {
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(QColor(30, 160, 90), 1.5, Qt::SolidLine, Qt::FlatCap));
        qreal r = w * (0.2 + 0.2 * i);
        p.drawArc(QRectF(w / 2.0 - r, h * 0.9 - r, 2 * r, 2 * r), 50 * 16, 80 * 16);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 160, 90));
    p.drawEllipse(QPointF(w / 2.0, h * 0.86), 1.6, 1.6);
}

void Flash(QPainter& p, int w, int h) {
    QPolygonF bolt;
    bolt << QPointF(w * 0.6, 0.5) << QPointF(w * 0.2, h * 0.55) << QPointF(w * 0.48, h * 0.55)
         << QPointF(w * 0.36, h - 0.5) << QPointF(w * 0.82, h * 0.4) << QPointF(w * 0.54, h * 0.4);
    p.setPen(QPen(QColor(120, 80, 0), 1));
    p.setBrush(Vertical(h, QColor(255, 255, 160), QColor(255, 180, 0)));
    p.drawPolygon(bolt);
}

void Logo(QPainter& p, int w, int h) {
    QRadialGradient halo(w / 2.0, h / 2.0, w / 2.0);
    halo.setColorAt(0, QColor(80, 160, 255, 200));
    halo.setColorAt(1, QColor(80, 160, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(QRectF(0, 0, w, h));
    qreal gh = h * 0.3;
    DrawGlyphs(p, "TAVRO", (w - GlyphsWidth("TAVRO", gh)) / 2, (h - gh) / 2, gh, 2.0, QColor(255, 255, 255, 240));
}

void PhotoFrame(QPainter& p, int w, int h) {
    p.setPen(QPen(QColor(90, 60, 30), 1));
    p.setBrush(Vertical(h, QColor(200, 150, 90), QColor(130, 80, 40)));
    p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));
    QRectF pic(4, 4, w - 8, h - 8);
    p.fillRect(pic, Vertical(h, QColor(120, 190, 250), QColor(220, 240, 255)));
    QPolygonF hills;
    hills << pic.bottomLeft() << QPointF(pic.left() + pic.width() * 0.35, pic.top() + pic.height() * 0.45)
          << QPointF(pic.left() + pic.width() * 0.6, pic.top() + pic.height() * 0.7)
          << QPointF(pic.right() - pic.width() * 0.2, pic.top() + pic.height() * 0.5) << pic.bottomRight();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 150, 70));
    p.drawPolygon(hills);
    // A see-through window in the middle of the frame's mount.
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.drawEllipse(QPointF(pic.right() - 5, pic.top() + 5), 3, 3);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Sun(QPainter& p, int w, int h) {
    p.setPen(QPen(QColor(255, 170, 0), 1.5, Qt::SolidLine, Qt::RoundCap));
    QPointF c(w / 2.0, h / 2.0);
    for (int i = 0; i < 8; ++i) {
        qreal a = i * M_PI / 4;
        QPointF d(std::cos(a), std::sin(a));
        p.drawLine(c + d * (w * 0.32), c + d * (w * 0.45));
    }
    QRadialGradient g(c, w * 0.25);
    g.setColorAt(0, QColor(255, 255, 180));
    g.setColorAt(1, QColor(255, 190, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(c, w * 0.24, w * 0.24);
}

void Wallpaper(QPainter& p, int w, int h) {
    p.fillRect(0, 0, w, h, Vertical(h, QColor(250, 140, 60), QColor(60, 20, 90)));
    QRadialGradient sun(w * 0.7, h * 0.55, h * 0.35);
    sun.setColorAt(0, QColor(255, 250, 200));
    sun.setColorAt(1, QColor(255, 200, 80, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(QPointF(w * 0.7, h * 0.55), h * 0.35, h * 0.35);
    p.setBrush(QColor(20, 10, 40));
    QPolygonF hills;
    hills << QPointF(0, h) << QPointF(0, h * 0.7) << QPointF(w * 0.3, h * 0.6) << QPointF(w * 0.6, h * 0.78)
          << QPointF(w, h * 0.66) << QPointF(w, h);
    p.drawPolygon(hills);
    // Rounded corners, left transparent: clear what lies outside the rounded frame.
    QPainterPath outside;
    outside.addRect(QRectF(0, 0, w, h));
    outside.addRoundedRect(QRectF(0, 0, w, h), 6, 6);  // odd-even fill keeps the ring between them
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setBrush(Qt::black);
    p.drawPath(outside);
}

// ---------------------------------------------------------------- entries

enum class Form {
    K18Masked,  // .k 18-bit with mask: alpha is cut at half into on and off
    K18,        // .k 18-bit without mask, opaque
    K32,        // .k 32-bit with soft alpha
    GGif,       // .g holding a GIF
    GPng,       // .g holding a PNG
    Raw,        // .raw, 5-6-5 big-endian pixels and an MSB-first mask, by hand
    Text,       // not a picture
};

struct Entry {
    std::string name;
    Form form;
    int width = 0;
    int height = 0;
    Drawing draw;
    std::string text;  // for Form::Text
};

// The entries in slot order, empty slots left out: status bar, calls and messages,
// menu, decorations.
std::vector<Entry> Entries() {
    return {
        {"battery_full.k", Form::K18Masked, 24, 16, [](QPainter& p, int w, int h) { Battery(p, w, h, 4, QColor(70, 210, 80)); }, {}},
        {"battery_low.k", Form::K18Masked, 24, 16, [](QPainter& p, int w, int h) { Battery(p, w, h, 1, QColor(230, 60, 40)); }, {}},
        {"signal_3.k", Form::K18Masked, 18, 16, Signal, {}},
        {"bluetooth.k", Form::K18Masked, 12, 16, Bluetooth, {}},
        {"lock.k", Form::K18Masked, 14, 16, Padlock, {}},
        {"alarm.k", Form::K18Masked, 16, 16, AlarmClock, {}},
        {"volume.k", Form::K32, 24, 16, VolumeMeter, {}},
        {"speaker.k", Form::K18Masked, 20, 16, [](QPainter& p, int w, int h) { Speaker(p, w, h, 2); }, {}},
        {"call_in.k", Form::K18Masked, 22, 22, [](QPainter& p, int w, int h) { Handset(p, w, h, QColor(70, 190, 90), -1); }, {}},
        {"call_out.k", Form::K18Masked, 22, 22, [](QPainter& p, int w, int h) { Handset(p, w, h, QColor(70, 190, 90), 1); }, {}},
        {"call_missed.k", Form::K18Masked, 22, 22, [](QPainter& p, int w, int h) { Handset(p, w, h, QColor(200, 70, 60), 0); }, {}},
        {"envelope.k", Form::K18Masked, 22, 18, [](QPainter& p, int w, int h) { Envelope(p, w, h, false); }, {}},
        {"message_new.k", Form::K32, 32, 32, [](QPainter& p, int w, int h) { MenuTile(p, w, h, QColor(60, 170, 90), MessageSymbol); }, {}},
        {"envelope_new.k", Form::K18Masked, 22, 18, [](QPainter& p, int w, int h) { Envelope(p, w, h, true); }, {}},
        {"menu_camera.k", Form::K32, 32, 32, [](QPainter& p, int w, int h) { MenuTile(p, w, h, QColor(80, 90, 110), CameraSymbol); }, {}},
        {"menu_contacts.k", Form::K32, 32, 32, [](QPainter& p, int w, int h) { MenuTile(p, w, h, QColor(40, 110, 200), ContactsSymbol); }, {}},
        {"menu_games.k", Form::K32, 32, 32, [](QPainter& p, int w, int h) { MenuTile(p, w, h, QColor(140, 60, 180), GamesSymbol); }, {}},
        {"menu_music.k", Form::K32, 32, 32, [](QPainter& p, int w, int h) { MenuTile(p, w, h, QColor(230, 100, 30), MusicSymbol); }, {}},
        {"menu_settings.k", Form::K32, 32, 32, [](QPainter& p, int w, int h) { MenuTile(p, w, h, QColor(110, 120, 130), SettingsSymbol); }, {}},
        {"calendar.k", Form::K18Masked, 20, 20, Calendar, {}},
        {"clock.k", Form::K18Masked, 32, 32, Clock, {}},
        {"star.k", Form::K18Masked, 16, 16, Star, {}},
        {"glow_orb.k", Form::K32, 24, 24, GlowOrb, {}},
        {"shadow_ring.k", Form::K32, 28, 28, ShadowRing, {}},
        {"bg_tile.k", Form::K18, 40, 30, OpaqueTile, {}},
        {"title_bar.k", Form::K18, 120, 18, TitleBar, {}},
        {"softkey_bar.k", Form::K18, 64, 14, SoftkeyBar, {}},
        {"busy.g", Form::GGif, 24, 24, Busy, {}},
        {"note.g", Form::GGif, 16, 20, Note, {}},
        {"wifi.g", Form::GGif, 20, 16, Wifi, {}},
        {"flash.g", Form::GGif, 14, 20, Flash, {}},
        {"logo.g", Form::GPng, 64, 40, Logo, {}},
        {"photo_frame.g", Form::GPng, 36, 28, PhotoFrame, {}},
        {"weather_sun.g", Form::GPng, 24, 24, Sun, {}},
        {"wallpaper(48x32).raw", Form::Raw, 48, 32, Wallpaper, {}},
        {"theme.cfg", Form::Text, 0, 0, {},
         "[theme]\nname=Tavro sample\nwallpaper=wallpaper(48x32).raw\ntitle=title_bar.k\n"
         "softkeys=softkey_bar.k\nbusy=busy.g\n[colours]\ntext=#e8eef8\nhighlight=#3c8cff\n"},
    };
}

// The picture as drawn: straight (not premultiplied) ARGB.
QImage Render(const Entry& e) {
    QImage image(e.width, e.height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    e.draw(painter, e.width, e.height);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// An 18-bit mask has one bit per pixel: cut the soft edge at half, and give cut-out
// pixels no colour, so that what is stored is exactly what the picture shows.
void CutAlpha(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[x] = qAlpha(row[x]) < 128 ? 0 : (row[x] | 0xFF000000u);
        }
    }
}

// The .raw layout: 2 bytes per pixel, 5-6-5 high byte first, top row first; then a
// mask of one bit per pixel, first pixel in the most significant bit, 1 = transparent,
// ceil(pixels / 8) bytes rounded up to an even count.
Bytes EncodeRaw(const QImage& image) {
    const std::size_t pixels = static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height());
    std::size_t maskSize = (pixels + 7) / 8;
    maskSize += maskSize % 2;
    Bytes out(2 * pixels + maskSize, 0);
    std::size_t n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x, ++n) {
            QRgb c = image.pixel(x, y);
            std::uint16_t v = static_cast<std::uint16_t>(((qRed(c) >> 3) << 11) | ((qGreen(c) >> 2) << 5) | (qBlue(c) >> 3));
            if (qAlpha(c) < 128) v = 0;
            out[2 * n] = static_cast<std::uint8_t>(v >> 8);
            out[2 * n + 1] = static_cast<std::uint8_t>(v);
            if (qAlpha(c) < 128) out[2 * pixels + n / 8] |= static_cast<std::uint8_t>(0x80u >> (n % 8));
        }
    }
    return out;
}

// Writes the picture through the core: a 32-bit BMP (or a GIF or PNG) first, then
// EncodePicture into the handset form. Returns the handset file's bytes.
Bytes MakeEntryBytes(const Entry& e, const std::string& scratch) {
    if (e.form == Form::Text) return Bytes(e.text.begin(), e.text.end());
    QImage image = Render(e);
    if (e.form == Form::Raw) return EncodeRaw(image);
    if (e.form == Form::K18Masked) CutAlpha(image);

    const std::string base = scratch + ChangeExtension(e.name, "");
    std::string picture;
    std::uint8_t mode = pkG;
    switch (e.form) {
        case Form::K18Masked:
            picture = base + ".bmp";
            mode = pkK18Masked;
            break;
        case Form::K18:
            picture = base + ".bmp";
            mode = pkK18;
            break;
        case Form::K32:
            picture = base + ".bmp";
            mode = pkK32;
            break;
        case Form::GGif:
            picture = base + ".gif";
            break;
        default:
            picture = base + ".png";
            break;
    }
    SaveBitmap(Bitmap(image), picture, TargetMimeTypes[picture.ends_with(".gif") ? tfGif
                                                       : picture.ends_with(".png") ? tfPng
                                                                                   : tfBmp]);
    std::string handset = scratch + "out-" + e.name;
    EncodePicture(picture, mode, handset);
    if (FileNamePart(handset) != "out-" + e.name) {
        throw DataError(ErrorCause::Refused, handset, "the encoder wrote another name than " + e.name);
    }
    std::vector<std::uint8_t> bytes = ReadWholeFile(handset, kPictureAreaSize);
    RemoveFile(handset);
    RemoveFile(picture);
    return bytes;
}

// Free text after the offset digits: what a skin author would leave there.
std::string HeaderText(const std::vector<Entry>& entries) {
    std::string text = "motoskin\n\nv1.00\n00000000\n";
    text +=
        "; Tavro sample skin\n"
        "; Every picture in this archive was drawn by examples/make_sample.cpp.\n"
        "skin=Tavro sample\n"
        "screen=240x320\n"
        "depth=18\n"
        "slots=" + std::to_string(kSlotCount) + "\n"
        ";  slot  name\n";
    std::uint32_t slot = 0;
    for (const Entry& e : entries) {
        while (kEmptySlots.count(slot) != 0) ++slot;
        std::string number = std::to_string(slot);
        std::string line = ";  " + std::string(4 - number.size(), ' ') + number + "  " + e.name + "\n";
        if (text.size() + line.size() + 1 >= kHeaderTextSize) break;
        text += line;
        ++slot;
    }
    text.resize(kHeaderTextSize - 1, ' ');  // padded with blanks, as the handset's tools leave it
    text += '\n';
    return text;
}

std::uint32_t ResourceIdFor(std::uint32_t slot) { return 0x00041000u + 0x20u * slot + (slot * 7u) % 5u; }

void AppendU32(Bytes& out, std::uint32_t v) {
    std::uint8_t b[4];
    store_u32le(b, v);
    out.insert(out.end(), b, b + 4);
}

Bytes BuildArchive(const std::vector<Entry>& entries, const std::vector<Bytes>& data) {
    struct Placed {
        std::size_t entry;
        std::uint32_t slot;
        std::uint32_t nameOffset = 0;
        std::uint32_t dataOffset = 0;
    };
    std::vector<Placed> placed;
    std::uint32_t slot = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        while (kEmptySlots.count(slot) != 0) ++slot;
        placed.push_back({i, slot++, 0, 0});
    }
    if (slot > kSlotCount) throw std::runtime_error("more entries than slots");

    // Names and data in ascending byte order of the names, as packing writes them.
    std::vector<Placed> order = placed;
    std::sort(order.begin(), order.end(), [&](const Placed& a, const Placed& b) {
        const std::string& x = entries[a.entry].name;
        const std::string& y = entries[b.entry].name;
        return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), [](char c, char d) {
            return static_cast<unsigned char>(c) < static_cast<unsigned char>(d);
        });
    });

    std::string header = HeaderText(entries);
    Bytes out(header.begin(), header.end());
    const std::uint32_t namesBase = static_cast<std::uint32_t>(out.size());
    std::uint32_t dataOffset = 0;
    for (Placed& p : order) {
        p.nameOffset = static_cast<std::uint32_t>(out.size()) - namesBase;
        p.dataOffset = dataOffset;
        const std::string& name = entries[p.entry].name;
        out.insert(out.end(), name.begin(), name.end());
        out.push_back('\n');
        dataOffset += 8 + static_cast<std::uint32_t>(data[p.entry].size());
    }
    while (out.size() % 4 != 0) out.push_back(0);
    const std::uint32_t tablePos = static_cast<std::uint32_t>(out.size());
    const std::string digits = FormatOffsetField(tablePos);
    std::copy(digits.begin(), digits.end(), out.begin() + kOffsetFieldPos);

    AppendU32(out, TableHeaderMagic);
    AppendU32(out, namesBase);
    AppendU32(out, kSlotCount);
    AppendU32(out, tablePos + kTableHeaderSize);
    AppendU32(out, tablePos + kTableHeaderSize + kSlotSize * kSlotCount);
    for (std::uint32_t s = 0; s < kSlotCount; ++s) {
        auto it = std::find_if(placed.begin(), placed.end(), [&](const Placed& p) { return p.slot == s; });
        if (it == placed.end()) {
            AppendU32(out, NoEntry);
            AppendU32(out, NoEntry);
            AppendU32(out, NoEntry);
            continue;
        }
        const Placed& p = *std::find_if(order.begin(), order.end(), [&](const Placed& q) { return q.slot == s; });
        AppendU32(out, ResourceIdFor(s));
        AppendU32(out, p.nameOffset);
        AppendU32(out, p.dataOffset);
    }
    for (const Placed& p : order) {
        AppendU32(out, DataRecordMagic);
        AppendU32(out, static_cast<std::uint32_t>(data[p.entry].size()));
        out.insert(out.end(), data[p.entry].begin(), data[p.entry].end());
    }
    return out;
}

int Run(const std::string& output) {
    std::string scratch = (std::filesystem::temp_directory_path() / "tavro-sample-XXXXXX").string();
    if (::mkdtemp(scratch.data()) == nullptr) ThrowIoError(scratch);
    scratch += "/";
    struct Cleanup {
        std::string path;
        ~Cleanup() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } cleanup{scratch};

    const std::vector<Entry> entries = Entries();
    std::vector<Bytes> data;
    for (const Entry& e : entries) data.push_back(MakeEntryBytes(e, scratch));
    Bytes archive = BuildArchive(entries, data);
    WriteWholeFile(output, archive);
    std::printf("%s: %zu bytes, %u slots, %zu entries\n", output.c_str(), archive.size(), kSlotCount,
                entries.size());
    return 0;
}

}  // namespace

}  // namespace tavro::sample

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavro_make_sample OUTPUT.ezx\n");
        return 2;
    }
    try {
        return tavro::sample::Run(argv[1]);
    } catch (const tavro::IoError& e) {
        std::fprintf(stderr, "tavro_make_sample: %s: %s\n", e.Path().c_str(), e.what());
    } catch (const tavro::DataError& e) {
        std::fprintf(stderr, "tavro_make_sample: %s: %s\n", e.Path().c_str(), e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tavro_make_sample: %s\n", e.what());
    }
    return 1;
}
