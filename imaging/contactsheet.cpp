#include "imaging/contactsheet.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <span>

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/paths.h"

namespace tavro {

namespace {

constexpr std::uint32_t kGutterColour = 0xFF808080;
constexpr int kCaptionPixelSize = 11;

int SheetWidth(int columns) { return kSheetGutter + columns * (kTileWidth + kSheetGutter); }
int SheetHeight(int rows) { return kSheetGutter + rows * (kTileHeight + kSheetGutter); }

// Text that stands out on the background: dark on light tiles, light on dark ones.
QColor TextColour(std::uint32_t background) {
    const int luma = (299 * static_cast<int>(RedOf(background)) + 587 * static_cast<int>(GreenOf(background)) +
                      114 * static_cast<int>(BlueOf(background))) / 1000;
    return luma >= 128 ? QColor(0, 0, 0) : QColor(230, 230, 230);
}

void DrawTile(QPainter& painter, const SheetTile& tile, int left, int top, const SheetLayout& layout) {
    painter.fillRect(left, top, kTileWidth, kTileHeight, QColor::fromRgba(layout.background));
    const QRect box(left + (kTileWidth - kTilePictureSide) / 2, top + kTilePad, kTilePictureSide, kTilePictureSide);
    const QColor text = TextColour(layout.background);
    if (!tile.picture.IsNull()) {
        const QImage& image = tile.picture.Image();
        QSize size = image.size();
        if (size.width() > box.width() || size.height() > box.height()) {
            size.scale(box.size(), Qt::KeepAspectRatio);
            size = size.expandedTo(QSize(1, 1));
        }
        const QRect target(box.x() + (box.width() - size.width()) / 2, box.y() + (box.height() - size.height()) / 2,
                           size.width(), size.height());
        painter.setRenderHint(QPainter::SmoothPixmapTransform, size != image.size());
        painter.drawImage(target, image);
    } else {
        QColor dim = text;
        dim.setAlpha(140);
        painter.setPen(QPen(dim, 1, Qt::DashLine));
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.setPen(dim);
        painter.drawText(box.adjusted(2, 2, -2, -2), Qt::AlignCenter | Qt::TextWordWrap,
                         QString::fromStdString(tile.note));
    }
    painter.setPen(text);
    const QRect caption(left + 1, box.bottom() + 1 + kTilePad, kTileWidth - 2, kTileCaptionHeight);
    const QString shown =
        painter.fontMetrics().elidedText(QString::fromStdString(tile.caption), Qt::ElideMiddle, caption.width());
    painter.drawText(caption, Qt::AlignHCenter | Qt::AlignVCenter, shown);
}

// libpng writes into a growing buffer; its errors come back through a long jump.
void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void NoFlush(png_structp) {}

// One PNG file, fed a band of rows at a time.
class PngStream {
public:
    PngStream(const std::string& path, int width, int height) : path_(path) {
        png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        if (png_ != nullptr) info_ = png_create_info_struct(png_);
        if (info_ == nullptr) throw DataError(ErrorCause::Undecodable, path_, "the sheet could not be encoded");
        if (setjmp(png_jmpbuf(png_))) throw DataError(ErrorCause::Undecodable, path_, "the sheet could not be encoded");
        png_set_write_fn(png_, &bytes_, AppendBytes, NoFlush);
        png_set_compression_level(png_, 6);
        png_set_IHDR(png_, info_, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png_, info_);
        // QImage::Format_RGB32 holds B G R X in memory on little-endian machines.
        png_set_bgr(png_);
        png_set_filler(png_, 0, PNG_FILLER_AFTER);
    }
    ~PngStream() { png_destroy_write_struct(&png_, &info_); }
    PngStream(const PngStream&) = delete;
    PngStream& operator=(const PngStream&) = delete;

    void Rows(const QImage& band, int count) {
        if (setjmp(png_jmpbuf(png_))) throw DataError(ErrorCause::Undecodable, path_, "the sheet could not be encoded");
        for (int y = 0; y < count; ++y) png_write_row(png_, const_cast<png_bytep>(band.constScanLine(y)));
    }

    void Finish() {
        if (setjmp(png_jmpbuf(png_))) throw DataError(ErrorCause::Undecodable, path_, "the sheet could not be encoded");
        png_write_end(png_, nullptr);
        WriteWholeFile(path_, bytes_);
    }

private:
    std::string path_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace

namespace {

QtMessageHandler previousHandler = nullptr;

// Qt's note that a headless session has no runtime folder says nothing to a user of
// the command line; everything else goes through.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths:"))) return;
    if (previousHandler != nullptr) previousHandler(type, context, text);
}

}  // namespace

void EnsureTextDrawing() {
    if (QCoreApplication::instance() != nullptr) return;
    previousHandler = qInstallMessageHandler(QuietHandler);
    // Kept for the rest of the process: Qt needs its application object for fonts.
    static int argc = 3;
    static char name[] = "tavro";
    static char option[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    static QGuiApplication app(argc, argv);
}

int SheetColumns(std::size_t tiles, int requested) {
    int columns = requested;
    if (columns <= 0) columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(tiles))));
    return std::clamp(columns, 1, kMaxSheetColumns);
}

std::vector<std::string> SheetFiles(const std::string& path, std::size_t tiles, int columns) {
    const std::size_t rows = std::max<std::size_t>(1, (tiles + columns - 1) / columns);
    const std::size_t files = (rows + kMaxSheetRows - 1) / kMaxSheetRows;
    if (files <= 1) return {path};
    const std::string ext = ExtensionOf(FileNamePart(path));
    const std::string stem = path.substr(0, path.size() - ext.size());
    std::vector<std::string> names;
    for (std::size_t i = 1; i <= files; ++i) names.push_back(stem + "-" + std::to_string(i) + ext);
    return names;
}

std::vector<std::string> WriteContactSheet(const std::string& path, std::size_t tiles, const SheetLayout& layout,
                                           TileFeed& feed) {
    EnsureTextDrawing();
    const int columns = SheetColumns(tiles, layout.columns);
    const std::vector<std::string> files = SheetFiles(path, tiles, columns);
    const std::size_t rows = std::max<std::size_t>(1, (tiles + columns - 1) / columns);
    const int width = SheetWidth(columns);

    QImage band(width, kTileHeight + kSheetGutter, QImage::Format_RGB32);
    QFont font;
    font.setPixelSize(kCaptionPixelSize);
    std::size_t row = 0;
    for (const std::string& file : files) {
        const int fileRows = static_cast<int>(std::min<std::size_t>(kMaxSheetRows, rows - row));
        PngStream png(file, width, SheetHeight(fileRows));
        band.fill(kGutterColour);
        png.Rows(band, kSheetGutter);
        for (int r = 0; r < fileRows; ++r, ++row) {
            band.fill(kGutterColour);
            const std::size_t first = row * columns;
            const std::size_t count = first < tiles ? std::min<std::size_t>(columns, tiles - first) : 0;
            const std::vector<SheetTile> row_tiles = count > 0 ? feed.Tiles(first, count) : std::vector<SheetTile>{};
            {
                QPainter painter(&band);
                painter.setFont(font);
                for (std::size_t c = 0; c < row_tiles.size(); ++c) {
                    DrawTile(painter, row_tiles[c], kSheetGutter + static_cast<int>(c) * (kTileWidth + kSheetGutter),
                             0, layout);
                }
            }
            png.Rows(band, kTileHeight + kSheetGutter);
        }
        png.Finish();
    }
    return files;
}

}  // namespace tavro
