// Unpacking and packing archives of 2,000 and 10,000 icons of 48 x 48, beside the
// time to copy the same bytes into (or out of) as many plain files (in this process,
// and for packing also as commands: `cat raws/*` beside `tavro pack`); and the peak
// memory of `tavro unpack` and `tavro pack` for the largest archives they take.
//
// The archive mixes, in equal parts, 18-bit .k pictures with and without mask,
// 32-bit .k pictures, and .g images holding a GIF or a PNG: every kind that packing
// converts back from icons/. (Raw pictures are carried from raws/ as they are.)
//
//   bench/archive_bench --benchmark_counters_tabular=true
//   TAVRO_BENCH_DIR=/dev/shm bench/archive_bench    (memory instead of disk)
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "archive/extract.h"
#include "archive/format.h"
#include "archive/nameindex.h"
#include "archive/pack.h"
#include "bench/benchdata.h"
#include "bench/benchfolder.h"
#include "imaging/bytes.h"
#include "imaging/fileio.h"
#include "imaging/standard.h"

namespace tavro {
namespace {

constexpr int kSide = 48;
constexpr int kSmallSide = 16;  // the icons of the archives measured for memory

// An icon-like picture: a soft gradient, a disc and a transparent border, varied per icon.
std::uint32_t IconPixel(int i, int x, int y, int side) {
    const int dx = x - side / 2;
    const int dy = y - side / 2;
    const bool disc = dx * dx + dy * dy < (10 + i % 8) * (10 + i % 8);
    const bool border = x < 2 || y < 2 || x >= side - 2 || y >= side - 2;
    const std::uint32_t r = static_cast<std::uint32_t>((x * 5 + i) & 0xFF);
    const std::uint32_t g = static_cast<std::uint32_t>((y * 5 + 2 * i) & 0xFF);
    const std::uint32_t b = disc ? 0xE0u : 0x30u;
    const std::uint32_t a = border ? 0u : (disc ? 0xFFu : 0xC0u);
    return PackArgb(a, r, g, b);
}

Bytes MakeK18(int i, bool masked, int side) {
    const std::size_t stride = (3 * side + 3) / 4 * 4;
    const std::size_t maskStride = ((side + 7) / 8 + 3) / 4 * 4;
    Bytes k;
    const auto u32 = [](auto v) { return static_cast<std::uint32_t>(v); };
    for (std::uint32_t w : {u32(side), u32(side), 18u, u32(stride)}) {
        AppendU32(k, w);
    }
    Bytes mask(maskStride * side, 0);
    for (int y = 0; y < side; ++y) {
        Bytes row(stride, 0);
        for (int x = 0; x < side; ++x) {
            const std::uint32_t p = IconPixel(i, x, y, side);
            const std::uint32_t v = (RedOf(p) >> 2) << 12 | (GreenOf(p) >> 2) << 6 | (BlueOf(p) >> 2);
            row[3 * x] = static_cast<std::uint8_t>(v);
            row[3 * x + 1] = static_cast<std::uint8_t>(v >> 8);
            row[3 * x + 2] = static_cast<std::uint8_t>(v >> 16);
            if (AlphaOf(p) != 0) mask[y * maskStride + x / 8] |= static_cast<std::uint8_t>(1u << (x % 8));
        }
        k.insert(k.end(), row.begin(), row.end());
    }
    if (masked) k.insert(k.end(), mask.begin(), mask.end());
    return k;
}

// A GIF or PNG file of an icon, through the imaging layer's own encoders.
Bytes MakeStandard(const std::string& folder, int i, const char* mime, int side) {
    Bitmap bitmap(side, side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) bitmap.SetPixel(x, y, IconPixel(i, x, y, side));
    }
    const std::string path = folder + "standard.tmp";
    SaveBitmap(bitmap, path, mime);
    Bytes bytes = ReadWholeFile(path, 1 << 20);
    RemoveFile(path);
    return bytes;
}

struct Entry {
    std::string name;
    Bytes bytes;
};

// How a BenchData is made.
struct Shape {
    int icons;
    int slotCount;           // slots past the icons are empty
    int side = kSide;        // of the square icons
    bool keep = true;        // the entries' bytes kept in memory, for the copy floors
    bool unpack = true;      // the archive unpacked into packsrc/
    const char* nameFormat = "icon%05d";
};

// One archive and the folder its unpacking leaves: generated once, removed when the
// program ends.
class BenchData {
public:
    explicit BenchData(const Shape& shape) : shape_(shape) {
        root = MakeBenchFolder("tavro-bench");
        WriteArchive();
        MakeFolder(root + "copy");
        if (!shape.unpack) return;

        // The folder that packing reads: an unpacking to BMP, as the user leaves it.
        MakeFolder(root + "packsrc");
        NullProgress progress;
        NullIconList list;
        NullMessages messages;
        ExtractArchive(archive, root + "packsrc/", tfBmp, progress, list, messages);
    }
    ~BenchData() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }

    int Icons() const { return shape_.icons; }

    std::string root;
    std::string archive;
    std::vector<Entry> entries;

private:
    // Entries in the first slots, the others empty. Names are ascending, so names and
    // data records follow slot order.
    void WriteArchive() {
        const int side = shape_.side;
        const Bytes gif = MakeStandard(root, 1, "image/gif", side);
        const Bytes png = MakeStandard(root, 2, "image/png", side);
        ArchiveBuilder builder;
        for (int i = 0; i < shape_.slotCount; ++i) {
            if (i >= shape_.icons) {
                builder.AddEmpty();
                continue;
            }
            char name[32];
            const int kind = i % 5;
            const int length = std::snprintf(name, sizeof name, shape_.nameFormat, i);
            std::snprintf(name + length, sizeof name - static_cast<std::size_t>(length), kind >= 3 ? ".g" : ".k");
            const Bytes bytes = kind == 0   ? MakeK18(i, true, side)
                                : kind == 1 ? MakeK18(i, false, side)
                                : kind == 2 ? MakeK32(side, [&](int x, int y) { return IconPixel(i, x, y, side); })
                                : kind == 3 ? gif
                                            : png;
            builder.Add(name, bytes);
            if (shape_.keep) entries.push_back({name, bytes});
        }
        archive = root + "iconres.ezx";
        WriteWholeFile(archive, builder.Finish());
    }

    Shape shape_;
};

// The data for an archive of `icons` icons of 48 x 48, one slot each.
BenchData& Data(int icons) {
    static std::map<int, std::unique_ptr<BenchData>> data;
    auto& d = data[icons];
    if (!d) d = std::make_unique<BenchData>(Shape{icons, icons});
    return *d;
}

void SetRate(benchmark::State& state, int icons) {
    state.counters["icons/s"] = benchmark::Counter(icons, benchmark::Counter::kIsIterationInvariantRate);
}

// The floor for unpacking: every entry's bytes into a file of its own.
void BM_CopyIntoFiles(benchmark::State& state) {
    BenchData& d = Data(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        for (const Entry& e : d.entries) WriteWholeFile(d.root + "copy/" + e.name, e.bytes);
    }
    SetRate(state, d.Icons());
}

void Unpack(benchmark::State& state, TTargetFormat target, const char* folder) {
    BenchData& d = Data(static_cast<int>(state.range(0)));
    MakeFolder(d.root + folder);
    NullProgress progress;
    NullIconList icons;
    NullMessages messages;
    for (auto _ : state) ExtractArchive(d.archive, d.root + folder + "/", target, progress, icons, messages);
    SetRate(state, d.Icons());
}

void BM_UnpackBmp(benchmark::State& state) { Unpack(state, tfBmp, "bmp"); }
void BM_UnpackPng(benchmark::State& state) { Unpack(state, tfPng, "png"); }
void BM_UnpackGif(benchmark::State& state) { Unpack(state, tfGif, "gif"); }

// The floor for packing: as many files read and their bytes written into one file.
void BM_CopyFromFiles(benchmark::State& state) {
    BenchData& d = Data(static_cast<int>(state.range(0)));
    for (const Entry& e : d.entries) WriteWholeFile(d.root + "copy/" + e.name, e.bytes);
    std::vector<std::uint8_t> buffer(1 << 20);
    for (auto _ : state) {
        ReplacementFile out(d.root + "copied.ezx");
        for (const Entry& e : d.entries) {
            File in = File::OpenRead(d.root + "copy/" + e.name);
            const std::size_t got = in.Read(buffer.data(), buffer.size());
            in.Close();
            out.Write(std::span<const std::uint8_t>(buffer.data(), got));
        }
        out.Commit();
    }
    SetRate(state, d.Icons());
}

void BM_Pack(benchmark::State& state) {
    BenchData& d = Data(static_cast<int>(state.range(0)));
    NullProgress progress;
    NullMessages messages;
    for (auto _ : state) {
        if (PackArchive(d.root + "packsrc/", d.root + "packed.ezx", progress, messages) != PackResult::Packed) {
            state.SkipWithError("nothing packed");
        }
    }
    SetRate(state, d.Icons());
}

// The same comparison as whole processes, as a user runs them: `cat raws/*` into one
// file, beside `tavro pack`.
void BM_CatCommand(benchmark::State& state) {
    BenchData& d = Data(static_cast<int>(state.range(0)));
    const std::string command = "cat " + d.root + "packsrc/raws/* > " + d.root + "cat.out";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("cat failed");
    }
    SetRate(state, d.Icons());
}

void BM_PackCommand(benchmark::State& state) {
    BenchData& d = Data(static_cast<int>(state.range(0)));
    const std::string command =
        std::string(TAVRO_BINARY) + " pack " + d.root + "packsrc/ " + d.root + "packed.ezx";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("tavro pack failed");
    }
    SetRate(state, d.Icons());
}

// Runs the command line program under /usr/bin/time; its exit code and its peak
// memory in MiB. (The system's own count would be no use here: a process started
// from this one starts with this one's peak.) Its messages are dropped.
std::pair<int, double> RunTavro(const std::string& args, const std::string& scratch) {
    const std::string report = scratch + "time.txt";
    const std::string command =
        "/usr/bin/time -f %M -o " + report + " " + TAVRO_BINARY + " " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    const Bytes bytes = FileExists(report) ? ReadWholeFile(report, 1024) : Bytes();
    // The last line: a failed command's report starts with a line of its own.
    std::string text(bytes.begin(), bytes.end());
    while (!text.empty() && text.back() == '\n') text.pop_back();
    const double kib = std::atof(text.substr(text.find_last_of('\n') + 1).c_str());
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return {code, kib / 1024};
}

// The peak memory of the two commands on the largest archives they take, icons of
// 16 x 16. An archive of 65,536 slots, the most there are, has a structure file of
// more than 1 MiB (at least 25 bytes per slot), so unpacking it writes the icons
// until the structure file is full (about 30,000 slots with these names) and stops
// with an error; packing is measured on a folder of 29,000 icons.
void BM_PeakMemory(benchmark::State& state) {
    if (!FileExists("/usr/bin/time")) {
        state.SkipWithError("/usr/bin/time is not installed (package time)");
        return;
    }
    static BenchData full(Shape{65535, 65536, kSmallSide, false, false, "%04x"});
    static BenchData packable(Shape{29000, 29000, kSmallSide, false, true, "%04x"});
    double unpackMiB = 0, packMiB = 0;
    for (auto _ : state) {
        const auto [unpackCode, unpackPeak] =
            RunTavro("unpack " + full.archive + " " + full.root + "unpacked", full.root);
        const auto [packCode, packPeak] =
            RunTavro("pack " + packable.root + "packsrc/ " + packable.root + "packed.ezx", packable.root);
        if (unpackCode != 1 || packCode != 0) state.SkipWithError("unexpected exit code of tavro");
        unpackMiB = std::max(unpackMiB, unpackPeak);
        packMiB = std::max(packMiB, packPeak);
    }
    state.counters["unpack 65536 MiB"] = unpackMiB;
    state.counters["pack 29000 MiB"] = packMiB;
}

// The name index and the packing order for the most icons a packing takes, names
// arriving in ascending order (the worst case of an unbalanced tree and of a
// selection sort, which the index and the sort must not have).
void BM_IndexAndSort65535(benchmark::State& state) {
    std::vector<TConvRec> records(65535);
    for (std::size_t i = 0; i < records.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "icon%05zu.bmp", i);
        records[i].IconName = name;
        records[i].RawName = name;
        records[i].SlotIndex = static_cast<std::uint32_t>(i);
    }
    for (auto _ : state) {
        TSearchTree root;
        for (const TConvRec& r : records) TreeInsert(root, r);
        std::vector<TConvRec> found;
        found.reserve(records.size());
        for (const TConvRec& r : records) found.push_back(TreeFind(root, r.IconName));
        benchmark::DoNotOptimize(SortByRawName(found));
    }
}

BENCHMARK(BM_IndexAndSort65535)->Unit(benchmark::kMillisecond);
// Unpacking at 2,000 icons; packing and its floor at 2,000 and 10,000, side by side.
BENCHMARK(BM_CopyIntoFiles)->Arg(2000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_UnpackBmp)->Arg(2000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_UnpackPng)->Arg(2000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_UnpackGif)->Arg(2000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_CopyFromFiles)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_Pack)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_CatCommand)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PackCommand)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace tavro

BENCHMARK_MAIN();
