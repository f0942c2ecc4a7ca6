#include "fuzz/seedbytes.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>

namespace tavro::fuzz::seeds {

namespace {

void AppendU16le(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void AppendU24le(std::string& out, std::uint32_t v) {
    AppendU16le(out, v);
    out.push_back(static_cast<char>((v >> 16) & 0xFF));
}

std::string Encode(int width, int height, const char* format) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, SamplePixel(x, y));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string Bmp(int width, int height, int bits) {
    const std::uint32_t rowBytes = static_cast<std::uint32_t>((width * bits / 8 + 3) / 4 * 4);
    const std::uint32_t imageSize = rowBytes * static_cast<std::uint32_t>(height);
    std::string out = "BM";
    AppendU32(out, 54 + imageSize);  // file size
    AppendU32(out, 0);               // reserved
    AppendU32(out, 54);              // pixel data offset
    AppendU32(out, 40);              // BITMAPINFOHEADER
    AppendU32(out, static_cast<std::uint32_t>(width));
    AppendU32(out, static_cast<std::uint32_t>(height));  // positive: bottom-up
    AppendU16le(out, 1);             // planes
    AppendU16le(out, static_cast<std::uint32_t>(bits));  // byte 28: bits per pixel
    AppendU32(out, 0);               // BI_RGB
    AppendU32(out, imageSize);
    AppendU32(out, 2835);
    AppendU32(out, 2835);
    AppendU32(out, 0);
    AppendU32(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            std::uint32_t c = SamplePixel(x, y);
            row.push_back(static_cast<char>(c & 0xFF));
            row.push_back(static_cast<char>((c >> 8) & 0xFF));
            row.push_back(static_cast<char>((c >> 16) & 0xFF));
            if (bits == 32) row.push_back(static_cast<char>(c >> 24));
        }
        row.resize(rowBytes, '\0');
        out += row;
    }
    return out;
}

}  // namespace

std::uint32_t SamplePixel(int x, int y) {
    std::uint32_t alpha = (x + y) % 5 == 0 ? 0 : ((x * 7 + y) % 3 == 0 ? 1 : 255);
    std::uint32_t r = static_cast<std::uint32_t>(x * 37) & 0xFF;
    std::uint32_t g = static_cast<std::uint32_t>(y * 53) & 0xFF;
    std::uint32_t b = static_cast<std::uint32_t>(x * y + 91) & 0xFF;
    return (alpha << 24) | (r << 16) | (g << 8) | b;
}

void AppendU32(std::string& out, std::uint32_t v) {
    AppendU16le(out, v & 0xFFFF);
    AppendU16le(out, v >> 16);
}

std::string TinyGif() {
    static const unsigned char bytes[] = {
        'G', 'I', 'F', '8', '9', 'a', 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00,  // screen, 2-colour table
        0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00,                                    // white, black
        0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00,                        // transparency: index 0
        0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00,            // image 1 x 1
        0x02, 0x02, 0x44, 0x01, 0x00,                                          // LZW data
        0x3B};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

std::string Png(int width, int height) { return Encode(width, height, "PNG"); }
std::string Jpeg(int width, int height) { return Encode(width, height, "JPEG"); }
std::string Bmp32(int width, int height) { return Bmp(width, height, 32); }
std::string Bmp24(int width, int height) { return Bmp(width, height, 24); }

std::string K18(int width, int height, bool mask) {
    const int stride = (3 * width + 3) / 4 * 4;
    const int maskStride = ((width + 7) / 8 + 3) / 4 * 4;
    std::string out;
    AppendU32(out, static_cast<std::uint32_t>(width));
    AppendU32(out, static_cast<std::uint32_t>(height));
    AppendU32(out, 18);
    AppendU32(out, static_cast<std::uint32_t>(stride));
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            std::uint32_t c = SamplePixel(x, y);
            AppendU24le(row, (((c >> 16) & 0xFF) >> 2) << 12 | (((c >> 8) & 0xFF) >> 2) << 6 | ((c & 0xFF) >> 2));
        }
        row.resize(static_cast<std::size_t>(stride), '\0');
        out += row;
    }
    if (mask) {
        for (int y = 0; y < height; ++y) {
            std::string row(static_cast<std::size_t>(maskStride), '\0');
            for (int x = 0; x < width; ++x)
                if ((SamplePixel(x, y) >> 24) != 0) row[static_cast<std::size_t>(x / 8)] |= static_cast<char>(1 << (x % 8));
            out += row;
        }
    }
    return out;
}

std::string K32(int width, int height) {
    std::string out;
    AppendU32(out, static_cast<std::uint32_t>(width));
    AppendU32(out, static_cast<std::uint32_t>(height));
    AppendU32(out, 32);
    AppendU32(out, static_cast<std::uint32_t>(4 * width));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) AppendU32(out, SamplePixel(x, y));
    return out;
}

std::string Raw(int width, int height) {
    std::string out;
    const int n = width * height;
    for (int i = 0; i < n; ++i) {
        std::uint32_t c = SamplePixel(i % width, i / width);
        std::uint32_t v = (((c >> 16) & 0xFF) >> 3) << 11 | (((c >> 8) & 0xFF) >> 2) << 5 | ((c & 0xFF) >> 3);
        out.push_back(static_cast<char>(v >> 8));  // big-endian pixels
        out.push_back(static_cast<char>(v & 0xFF));
    }
    std::string mask(static_cast<std::size_t>(((n + 7) / 8 + 1) / 2 * 2), '\0');
    for (int i = 0; i < n; ++i)
        if ((SamplePixel(i % width, i / width) >> 24) == 0) mask[static_cast<std::size_t>(i / 8)] |= static_cast<char>(0x80 >> (i % 8));
    return out + mask;
}

std::string HeaderText(std::size_t length) {
    std::string text = "motoskin\n\nv1.00\n00000000";
    while (text.size() < length) text += "\nfree text of the header";
    text.resize(length);
    return text;
}

std::string Archive(const std::vector<Entry>& entries, std::size_t headerLength, bool upperDigits) {
    std::string out = HeaderText(headerLength);
    const std::uint32_t namesBase = static_cast<std::uint32_t>(out.size());
    std::string data;
    std::string table;
    for (const Entry& e : entries) {
        AppendU32(table, e.resourceId);
        if (e.empty) {
            AppendU32(table, 0xFFFFFFFF);
            AppendU32(table, 0xFFFFFFFF);
            continue;
        }
        AppendU32(table, static_cast<std::uint32_t>(out.size()) - namesBase);
        AppendU32(table, static_cast<std::uint32_t>(data.size()));
        out += e.name + '\n';
        AppendU32(data, 0xDCBAABCD);
        AppendU32(data, static_cast<std::uint32_t>(e.data.size()));
        data += e.data;
    }
    while (out.size() % 4 != 0) out.push_back('\0');
    const std::uint32_t p = static_cast<std::uint32_t>(out.size());
    const char* digits = upperDigits ? "0123456789ABCDEF" : "0123456789abcdef";
    for (int k = 0; k < 8; ++k) out[16 + static_cast<std::size_t>(k)] = digits[(p >> (28 - 4 * k)) & 0xF];
    const std::uint32_t n = static_cast<std::uint32_t>(entries.size());
    AppendU32(out, 0xABCDDCBA);
    AppendU32(out, namesBase);
    AppendU32(out, n);
    AppendU32(out, p + 20);
    AppendU32(out, p + 20 + 12 * n);
    return out + table + data;
}

std::string Structure(std::uint32_t count, const std::vector<Record>& records) {
    std::string out;
    AppendU32(out, count);
    for (const Record& r : records) {
        AppendU32(out, r.slot);
        AppendU32(out, static_cast<std::uint32_t>(r.rawName.size()));
        out += r.rawName;
        AppendU32(out, static_cast<std::uint32_t>(r.iconName.size()));
        out += r.iconName;
        out.push_back(static_cast<char>(r.kind));
        std::uint32_t h = 0;
        for (unsigned char b : r.iconName) h = (h << 1) ^ (h >> 20) ^ b;
        AppendU32(out, h);
        AppendU32(out, r.resourceId);
    }
    return out;
}

}  // namespace tavro::fuzz::seeds
