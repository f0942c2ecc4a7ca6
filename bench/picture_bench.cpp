// Writing icons as GIF and PNG, beside ImageMagick writing the same pictures.
//
// 500 icons of 48 x 48 with soft edges (an anti-aliased rounded body, a soft shadow,
// gradients, more than 255 colours each) stand in a folder as 32-bit .k pictures and,
// for ImageMagick, as the same pictures in 32-bit BMP; beside them 500 dense icons,
// a soft disc whose smooth gradients give nearly every pixel its own colour. Timed
// side by side:
//   Encode/gif, Encode/png    one icon encoded in memory (no file system)
//   Encode/gif_dense          the same for a dense icon
//   ConvertAll/gif, /png      tavro convert-all of the .k folder, over the files of
//                             the previous run; /png_new into an emptied folder;
//                             /gif_dense of the dense icons
//   Mogrify/gif, /png         mogrify -format gif|png of the BMP folder, likewise
//                             (skipped when ImageMagick's mogrify is not installed)
// and, for each output, counters of its size and quality: the PSNR of the pictures
// composited over black and over white against the originals composited likewise,
// and the PSNR of the pixels that are opaque in the original.
//
//   bench/picture_bench --benchmark_counters_tabular=true
//   TAVRO_BENCH_DIR=/dev/shm bench/picture_bench    (memory instead of disk)
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/benchfolder.h"
#include "imaging/batch.h"
#include "imaging/standard.h"
#include "imaging/fileio.h"
#include "imaging/kbitmap.h"

namespace tavro {
namespace {

constexpr int kIcons = 500;
constexpr int kSide = 48;

// An icon: a rounded square with an anti-aliased rim over a soft shadow, a diagonal
// gradient and a highlight, varied per icon. About a third of its pixels are
// partly transparent.
std::uint32_t IconPixel(int i, int x, int y) {
    const double cx = x + 0.5 - kSide / 2.0, cy = y + 0.5 - kSide / 2.0;
    const double half = 14.0 + i % 5, radius = 6.0 + i % 4;
    const auto roundedBox = [&](double px, double py) {
        const double qx = std::max(std::abs(px) - (half - radius), 0.0);
        const double qy = std::max(std::abs(py) - (half - radius), 0.0);
        return std::sqrt(qx * qx + qy * qy) - radius;  // signed distance to the rim
    };
    const double body = std::clamp(0.5 - roundedBox(cx, cy), 0.0, 1.0);
    const double shadow = 0.6 * std::clamp(1.0 - (roundedBox(cx - 3, cy - 3) + 1.0) / 5.0, 0.0, 1.0);
    const double hx = cx + 5, hy = cy + 6;
    const double highlight = std::clamp(1.0 - std::sqrt(hx * hx + hy * hy) / 12.0, 0.0, 1.0);
    const double r = std::fmod(40 + 3.1 * x + 1.7 * y + 37 * i, 200) + 55 * highlight;
    const double g = std::fmod(90 + 2.3 * y + 53 * i, 180) + 75 * highlight;
    const double b = 120 + 2.5 * (kSide - x) * (i % 3) / 3.0 + 30 * highlight;
    // The body over its shadow (black): straight colour and alpha of the two layers.
    const double a = body + shadow * (1 - body);
    if (a <= 0) return 0;
    const auto channel = [&](double c) {
        return static_cast<std::uint32_t>(std::clamp(c * body / a, 0.0, 255.0) + 0.5);
    };
    return PackArgb(static_cast<std::uint32_t>(a * 255 + 0.5), channel(r), channel(g), channel(b));
}

// A dense icon: a disc with an anti-aliased rim and a soft outer glow, red rising
// across and green down the picture, blue with the distance from a highlight, so that
// almost no two pixels share a colour.
std::uint32_t DenseIconPixel(int i, int x, int y) {
    const double cx = x + 0.5 - kSide / 2.0, cy = y + 0.5 - kSide / 2.0;
    const double d = std::sqrt(cx * cx + cy * cy), rim = 19.0 + i % 4;
    const double body = std::clamp(rim + 0.5 - d, 0.0, 1.0);
    const double glow = 0.7 * std::clamp(1.0 - (d - rim) / 4.0, 0.0, 1.0);
    const double a = body + glow * (1 - body);
    if (a <= 0) return 0;
    const double hx = cx + 6, hy = cy + 7, h = std::sqrt(hx * hx + hy * hy);
    const double r = 30 + 4.3 * x + (i * 7) % 20;
    const double g = 20 + 4.1 * y + (i * 11) % 30;
    const double b = 250 - 5.5 * h + (i * 13) % 25;
    const auto channel = [](double c) { return static_cast<std::uint32_t>(std::clamp(c, 0.0, 255.0) + 0.5); };
    return PackArgb(static_cast<std::uint32_t>(a * 255 + 0.5), channel(r), channel(g), channel(b));
}

struct Quality {
    double black = 0, white = 0, opaque = 0;  // PSNR in dB
};

double Psnr(double squaredError, double samples) {
    return squaredError == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * samples / squaredError);
}

class PictureData {
public:
    explicit PictureData(std::uint32_t (*pixel)(int, int, int)) {
        root = MakeBenchFolder("tavro-picture-bench");
        for (const char* folder : {"k", "bmp", "gif", "png", "im-gif", "im-png"}) MakeFolder(root + folder);
        for (int i = 0; i < kIcons; ++i) {
            Bitmap icon(kSide, kSide);
            for (int y = 0; y < kSide; ++y) {
                for (int x = 0; x < kSide; ++x) icon.SetPixel(x, y, pixel(i, x, y));
            }
            char name[32];
            std::snprintf(name, sizeof name, "icon%03d", i);
            names.emplace_back(name);
            const std::string bmp = root + "bmp/" + name + ".bmp";
            SaveBitmap(icon, bmp, "image/bmp");
            WriteWholeFile(root + "k/" + name + ".k", EncodeKBitmap32(icon, name));
            icons.push_back(std::move(icon));
        }
    }
    ~PictureData() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }

    // The pictures of one output folder against the originals; a missing or
    // unreadable file counts as every pixel wrong.
    Quality Measure(const std::string& folder, const char* extension, double& bytesPerIcon) const {
        double black = 0, white = 0, opaque = 0, opaqueCount = 0, bytes = 0;
        for (std::size_t i = 0; i < icons.size(); ++i) {
            const std::string path = root + folder + "/" + names[i] + extension;
            const Bitmap got = FileExists(path) ? LoadBitmap(path) : Bitmap();
            if (FileExists(path)) bytes += static_cast<double>(ReadWholeFile(path, 1 << 20).size());
            for (int y = 0; y < kSide; ++y) {
                for (int x = 0; x < kSide; ++x) {
                    const std::uint32_t want = icons[i].GetPixel(x, y);
                    const std::uint32_t have = got.IsNull() ? 0 : got.GetPixel(x, y);
                    for (std::uint32_t (*channel)(std::uint32_t) : {RedOf, GreenOf, BlueOf}) {
                        for (const double bg : {0.0, 255.0}) {
                            const auto over = [&](std::uint32_t c) {
                                const double a = AlphaOf(c) / 255.0;
                                return channel(c) * a + bg * (1 - a);
                            };
                            const double e = over(want) - over(have);
                            (bg == 0 ? black : white) += e * e;
                            if (AlphaOf(want) == 255) opaque += e * e / 2;
                        }
                    }
                    if (AlphaOf(want) == 255) opaqueCount += 3;
                }
            }
        }
        bytesPerIcon = bytes / static_cast<double>(icons.size());
        const double samples = 3.0 * kSide * kSide * static_cast<double>(icons.size());
        return {Psnr(black, samples), Psnr(white, samples), Psnr(opaque, opaqueCount)};
    }

    std::string root;
    std::vector<std::string> names;
    std::vector<Bitmap> icons;
};

PictureData& Data() {
    static PictureData data(IconPixel);
    return data;
}

PictureData& DenseData() {
    static PictureData data(DenseIconPixel);
    return data;
}

// Seconds per icon: the inverse of a rate of kIcons per iteration.
void PerIcon(benchmark::State& state) {
    state.counters["s/icon"] = benchmark::Counter(
        kIcons, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Report(benchmark::State& state, PictureData& d, const std::string& folder, const char* extension) {
    double bytes = 0;
    const Quality q = d.Measure(folder, extension, bytes);
    PerIcon(state);
    state.counters["bytes/icon"] = bytes;
    state.counters["dB black"] = q.black;
    state.counters["dB white"] = q.white;
    state.counters["dB opaque"] = q.opaque;
}

const char* ExtensionOf(TTargetFormat format) { return TargetExtensions[format]; }

void BM_Encode(benchmark::State& state, const char* mime, PictureData& (*data)()) {
    PictureData& d = data();
    for (auto _ : state) {
        for (const Bitmap& icon : d.icons) {
            benchmark::DoNotOptimize(EncodeBitmap(icon, mime, "bench"));
        }
    }
    PerIcon(state);
}

// Whether each run writes into an empty folder (new files) or over the files of the
// previous run, as converting the same folder again does.
enum class Output { New, Over };

// Before a run that is to make new files, moves the output folder aside and makes an
// empty one. The old files are deleted only at the end: on ext4, making files right
// after deleting as many costs several times as much as making them otherwise.
void Prepare(benchmark::State& state, const std::string& folder, Output output) {
    if (output == Output::Over) return;
    state.PauseTiming();
    static int moved = 0;
    std::filesystem::rename(folder, folder + "-old" + std::to_string(++moved));
    std::filesystem::create_directory(folder);
    state.ResumeTiming();
}

void BM_ConvertAll(benchmark::State& state, TTargetFormat format, Output output, PictureData& (*data)()) {
    PictureData& d = data();
    const std::string folder = format == tfGif ? "gif" : "png";
    for (auto _ : state) {
        Prepare(state, d.root + folder, output);
        ConvertFolder(d.root + "k/", d.root + folder + "/", BatchDirection::ToStandard, format);
    }
    Report(state, d, folder, ExtensionOf(format));
}

void BM_Mogrify(benchmark::State& state, TTargetFormat format, Output output, PictureData& (*data)()) {
    PictureData& d = data();
    if (std::system("command -v mogrify >/dev/null 2>&1") != 0) {
        state.SkipWithError("ImageMagick's mogrify is not installed");
        return;
    }
    const std::string folder = format == tfGif ? "im-gif" : "im-png";
    const std::string command = std::string("mogrify -path ") + d.root + folder + " -format " +
                                (ExtensionOf(format) + 1) + " " + d.root + "bmp/*.bmp";
    for (auto _ : state) {
        Prepare(state, d.root + folder, output);
        if (std::system(command.c_str()) != 0) state.SkipWithError("mogrify failed");
    }
    Report(state, d, folder, ExtensionOf(format));
}

BENCHMARK_CAPTURE(BM_Encode, gif, "image/gif", Data)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Encode, gif_dense, "image/gif", DenseData)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Encode, png, "image/png", Data)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ConvertAll, gif, tfGif, Output::Over, Data)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Mogrify, gif, tfGif, Output::Over, Data)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ConvertAll, gif_dense, tfGif, Output::Over, DenseData)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Mogrify, gif_dense, tfGif, Output::Over, DenseData)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ConvertAll, png, tfPng, Output::Over, Data)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Mogrify, png, tfPng, Output::Over, Data)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ConvertAll, png_new, tfPng, Output::New, Data)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Mogrify, png_new, tfPng, Output::New, Data)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tavro

BENCHMARK_MAIN();
