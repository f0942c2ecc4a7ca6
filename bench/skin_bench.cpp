// Looking at whole skins of 2,000 icons of 48 x 48 (equal parts 18-bit .k with and
// without mask, 32-bit .k, .g holding PNG and GIF): the contact sheet of the archive,
// the comparison of two archives that differ in 20 icons, and the check of the
// unpacked folder beside packing that folder, in one run; and the peak memory of the
// three commands.
//
//   bench/skin_bench --benchmark_counters_tabular=true
//   TAVRO_BENCH_DIR=/dev/shm bench/skin_bench    (memory instead of disk)
#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/check.h"
#include "archive/diff.h"
#include "archive/extract.h"
#include "archive/format.h"
#include "archive/pack.h"
#include "archive/sheet.h"
#include "bench/benchfolder.h"
#include "imaging/fileio.h"
#include "imaging/standard.h"

namespace tavro {
namespace {

constexpr int kIcons = 2000;
constexpr int kSide = 48;
constexpr int kEdited = 20;

Bitmap IconPicture(int i) {
    Bitmap b(kSide, kSide);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const int dx = x - kSide / 2, dy = y - kSide / 2;
            const bool disc = dx * dx + dy * dy < (10 + i % 8) * (10 + i % 8);
            const bool border = x < 2 || y < 2 || x >= kSide - 2 || y >= kSide - 2;
            b.SetPixel(x, y, PackArgb(border ? 0 : disc ? 255 : 192, (x * 5 + i) & 0xFF, (y * 5 + 2 * i) & 0xFF,
                                      disc ? 0xE0 : 0x30));
        }
    }
    return b;
}

// An archive of kIcons icons packed from a folder of pictures, that archive unpacked
// (the folder a user edits), and a second archive with kEdited icons changed.
struct Skins {
    Skins() {
        root = MakeBenchFolder("tavro-skin-bench");
        const std::string made = root + "made/";
        std::filesystem::create_directories(made + "icons");
        std::vector<std::uint8_t> structure(kStructureAreaSize);
        std::size_t pos = 0;
        PutU32(kIcons, pos, structure.data());
        for (int i = 0; i < kIcons; ++i) {
            static constexpr struct {
                TPictureKind kind;
                const char* rawExt;
                const char* iconExt;
                const char* mime;
            } kinds[] = {{pkK18Masked, ".k", ".bmp", "image/bmp"},
                         {pkK18, ".k", ".bmp", "image/bmp"},
                         {pkK32, ".k", ".bmp", "image/bmp"},
                         {pkG, ".g", ".png", "image/png"},
                         {pkG, ".g", ".gif", "image/gif"}};
            const auto& k = kinds[i % 5];
            char stem[16];
            std::snprintf(stem, sizeof stem, "icon%05d", i);
            TConvRec rec;
            rec.SlotIndex = static_cast<std::uint32_t>(i);
            rec.RawName = stem + std::string(k.rawExt);
            rec.IconName = stem + std::string(k.iconExt);
            rec.Kind = k.kind;
            rec.NameHash = HashName(rec.IconName);
            rec.ResourceId = 1000 + static_cast<std::uint32_t>(i);
            PutStructureRecord(rec, pos, structure.data());
            SaveBitmap(IconPicture(i), made + "icons/" + rec.IconName, k.mime);
        }
        structure.resize(pos);
        WriteWholeFile(made + "iconres.dat", structure);
        std::vector<std::uint8_t> header(1575, ' ');
        const std::string start = "motoskin\n\nv1.00\n00000000\n";
        std::copy(start.begin(), start.end(), header.begin());
        WriteWholeFile(made + "iconres.hdr", header);
        NullProgress progress;
        NullMessages messages;
        NullIconList list;
        archive = root + "a.ezx";
        PackArchive(made, archive, progress, messages);

        folder = root + "unpacked/";
        MakeFolder(folder);
        ExtractArchive(archive, folder, tfBmp, progress, list, messages);
        for (int i = 0; i < kEdited * 5; i += 5) {
            char name[32];
            std::snprintf(name, sizeof name, "icons/icon%05d.bmp", i);
            Bitmap b = LoadBitmap(folder + name);
            b.SetPixel(20, 20, PackArgb(255, 1, 2, 3));
            SaveBitmap(b, folder + name, "image/bmp");
        }
        edited = root + "b.ezx";
        PackArchive(folder, edited, progress, messages);
    }
    ~Skins() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::string root, archive, folder, edited;
};

Skins& Data() {
    static Skins skins;
    return skins;
}

void SetRate(benchmark::State& state) {
    state.counters["icons/s"] = benchmark::Counter(kIcons, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Sheet(benchmark::State& state) {
    Skins& d = Data();
    for (auto _ : state) MakeContactSheet(d.archive, d.root + "sheet.png", {});
    SetRate(state);
}

void BM_Diff(benchmark::State& state) {
    Skins& d = Data();
    for (auto _ : state) {
        Skin a(d.archive), b(d.edited);
        if (CompareSkins(a, b).changes.size() != kEdited) state.SkipWithError("unexpected difference");
    }
    SetRate(state);
}

void BM_Pack(benchmark::State& state) {
    Skins& d = Data();
    NullProgress progress;
    NullMessages messages;
    for (auto _ : state) PackArchive(d.folder, d.root + "packed.ezx", progress, messages);
    SetRate(state);
}

void BM_Check(benchmark::State& state) {
    Skins& d = Data();
    for (auto _ : state) {
        if (!CheckFolder(d.folder).Packable()) state.SkipWithError("the check says packing fails");
    }
    SetRate(state);
}

// The peak memory of a command in MiB, under /usr/bin/time; its output is dropped.
double PeakMiB(const std::string& args, const std::string& scratch) {
    const std::string report = scratch + "time.txt";
    const std::string command =
        "/usr/bin/time -f %M -o " + report + " " + TAVRO_BINARY + " " + args + " >/dev/null 2>&1";
    if (std::system(command.c_str()) == -1) return -1;
    const std::vector<std::uint8_t> bytes = FileExists(report) ? ReadWholeFile(report, 1024) : std::vector<std::uint8_t>();
    std::string text(bytes.begin(), bytes.end());
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return std::atof(text.substr(text.find_last_of('\n') + 1).c_str()) / 1024;
}

void BM_PeakMemory(benchmark::State& state) {
    Skins& d = Data();
    for (auto _ : state) {
        state.counters["sheet MiB"] = PeakMiB("sheet " + d.archive + " " + d.root + "m.png", d.root);
        state.counters["diff MiB"] = PeakMiB("diff " + d.archive + " " + d.edited, d.root);
        state.counters["pack MiB"] = PeakMiB("pack " + d.folder + " " + d.root + "m.ezx", d.root);
        state.counters["check MiB"] = PeakMiB("check " + d.folder, d.root);
    }
}

BENCHMARK(BM_Sheet)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_Diff)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_Check)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_Pack)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace tavro

BENCHMARK_MAIN();
