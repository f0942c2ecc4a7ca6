#include "archive/iconnames.h"

#include <algorithm>
#include <cstdint>

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>
#include <QString>

namespace tavro {

namespace {

// Windows-1251 bytes 0x80-0xBF as Unicode code points (0xC0-0xFF are the letters
// А-я, U+0410-U+044F, in order). The one unassigned byte, 0x98, is shown as U+FFFD.
constexpr char32_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

// Decodes UTF-8 strictly (no overlong forms, no surrogates, at most U+10FFFF).
// Returns false when the bytes are not valid UTF-8.
bool DecodeUtf8(const std::string& bytes, std::u32string& out) {
    out.clear();
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (b0 < 0x80) {
            cp = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            extra = 1, cp = b0 & 0x1F, min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2, cp = b0 & 0x0F, min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3, cp = b0 & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (static_cast<std::size_t>(extra) > bytes.size() - i - 1) return false;
        for (int k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if ((b & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        out.push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

std::u32string DecodeName(const std::string& name) {
    std::u32string text;
    if (DecodeUtf8(name, text)) return text;
    text.clear();
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            text.push_back(b);
        } else if (b >= 0xC0) {
            text.push_back(0x0410 + (b - 0xC0));
        } else {
            text.push_back(kCp1251High[b - 0x80]);
        }
    }
    return text;
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

std::string DisplayName(const std::string& name) {
    std::string text;
    for (char32_t cp : DecodeName(name)) AppendUtf8(cp, text);
    return text;
}

std::vector<std::string> SortedForList(std::vector<std::string> names) {
    // ICU's Russian collation: the Cyrillic alphabet (ё with е), then the Latin one,
    // each in its alphabet's order; case plays no part. Fixed, not the user's locale,
    // so that the desktop and the command line list the same order everywhere.
    QCollator collator{QLocale(QLocale::Russian, QLocale::Russia)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // The part before the extension is collated first, the extension after it, so that
    // "envelope.k" comes before "envelope_new.k" (the collation puts "_" before ".").
    // Each name is decoded and given its keys once, not at every comparison.
    struct Keyed {
        QCollatorSortKey stem;
        QCollatorSortKey extension;
        std::string name;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(names.size());
    for (std::string& name : names) {
        const QString text = QString::fromStdString(DisplayName(name));
        const qsizetype dot = text.lastIndexOf(u'.');
        const qsizetype split = dot < 0 ? text.size() : dot;
        keyed.push_back({collator.sortKey(text.left(split)), collator.sortKey(text.mid(split)), std::move(name)});
    }
    // Names that collate alike are ordered by their bytes (std::string compares them
    // unsigned), so the order is the same on every run.
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        int order = a.stem.compare(b.stem);
        if (order == 0) order = a.extension.compare(b.extension);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    for (std::size_t i = 0; i < keyed.size(); ++i) names[i] = std::move(keyed[i].name);
    return names;
}

}  // namespace tavro
