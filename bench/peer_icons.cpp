// Writes the pictures that bench/peers times against other programs:
//
//   peer_icons FOLDER COUNT ARCHIVE_ICONS
//
// COUNT icons of 48 x 48 as 32-bit .k files into FOLDER/k/ and the same pictures as
// 32-bit BMP files into FOLDER/bmp/, and FOLDER/icons.ezx, an archive of
// ARCHIVE_ICONS such icons as 32-bit .k entries. Each icon is a disc with an
// anti-aliased rim over a soft shadow, coloured by two crossing gradients and a
// highlight: nearly every pixel has its own colour, and about a fifth of them are
// partly transparent.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/benchdata.h"
#include "imaging/bitmap.h"
#include "imaging/bmpfile.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"

namespace tavro {
namespace {

constexpr int kSide = 48;

std::uint32_t PeerIconPixel(int i, int x, int y) {
    const double px = x + 0.5 - kSide / 2.0, py = y + 0.5 - kSide / 2.0;
    const double radius = 15.0 + (i % 7) * 0.9;
    // Coverage of the disc (one pixel of soft rim) and of its shadow, offset down
    // and right and blurred over five pixels.
    const double body = std::clamp(radius + 0.5 - std::hypot(px, py), 0.0, 1.0);
    const double shadow = 0.55 * std::clamp((radius + 3.0 - std::hypot(px - 2.5, py - 3.0)) / 5.0, 0.0, 1.0);
    const double a = body + shadow * (1 - body);
    if (a <= 0) return 0;
    const double highlight = std::clamp(1.0 - std::hypot(px + 6, py + 7) / 18.0, 0.0, 1.0);
    const double r = 30 + 3.3 * x + 0.7 * y + (i * 29) % 40 + 40 * highlight;
    const double g = 20 + 3.1 * y + 0.4 * x + (i * 17) % 50 + 50 * highlight;
    const double b = 60 + 2.2 * std::hypot(px - 8, py + 4) + (i * 11) % 60 + 30 * highlight;
    // The disc over its black shadow, as straight (not premultiplied) colour.
    const auto channel = [&](double c) {
        return static_cast<std::uint32_t>(std::clamp(c * body / a, 0.0, 255.0) + 0.5);
    };
    return PackArgb(static_cast<std::uint32_t>(a * 255 + 0.5), channel(r), channel(g), channel(b));
}

int Run(const std::string& folder, int count, int archiveIcons) {
    MakeFolder(folder);
    MakeFolder(folder + "/k");
    MakeFolder(folder + "/bmp");
    for (int i = 0; i < count; ++i) {
        Bitmap icon(kSide, kSide);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) icon.SetPixel(x, y, PeerIconPixel(i, x, y));
        }
        char name[32];
        std::snprintf(name, sizeof name, "icon%03d", i);
        const std::string base = std::string("/") + name;
        WriteWholeFile(folder + "/bmp" + base + ".bmp", EncodeBmp32(icon, name));
        WriteWholeFile(folder + "/k" + base + ".k", MakeK32(kSide, [&](int x, int y) { return PeerIconPixel(i, x, y); }));
    }
    ArchiveBuilder archive;
    for (int i = 0; i < archiveIcons; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "icon%04d.k", i);
        archive.Add(name, MakeK32(kSide, [&](int x, int y) { return PeerIconPixel(i, x, y); }));
    }
    WriteWholeFile(folder + "/icons.ezx", archive.Finish());
    return 0;
}

}  // namespace
}  // namespace tavro

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: peer_icons FOLDER COUNT ARCHIVE_ICONS\n");
        return 2;
    }
    try {
        return tavro::Run(argv[1], std::atoi(argv[2]), std::atoi(argv[3]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "peer_icons: %s\n", e.what());
        return 1;
    }
}
