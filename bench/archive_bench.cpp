// Unpacking and packing an archive of 10,000 icons of 48 x 48, beside the time to
// copy the same bytes into (or out of) as many plain files.
//
// The archive mixes, in equal parts, 18-bit .k pictures with and without mask,
// 32-bit .k pictures, and .g images holding a GIF or a PNG: every kind that packing
// converts back from icons/. (Raw pictures are carried from raws/ as they are.)
//
//   bench/archive_bench --benchmark_counters_tabular=true
//   TAVRO_BENCH_DIR=/dev/shm bench/archive_bench    (memory instead of disk)
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/extract.h"
#include "archive/format.h"
#include "archive/nameindex.h"
#include "archive/pack.h"
#include "archive/settings.h"
#include "imaging/bitmap.h"
#include "imaging/bytes.h"
#include "imaging/fileio.h"

namespace tavro {
namespace {

constexpr int kIcons = 10000;
constexpr int kSide = 48;

using Bytes = std::vector<std::uint8_t>;

void AppendU32(Bytes& out, std::uint32_t v) {
    std::uint8_t b[4];
    store_u32le(b, v);
    out.insert(out.end(), b, b + 4);
}

// An icon-like picture: a soft gradient, a disc and a transparent border, varied per icon.
std::uint32_t IconPixel(int i, int x, int y) {
    const int dx = x - kSide / 2;
    const int dy = y - kSide / 2;
    const bool disc = dx * dx + dy * dy < (10 + i % 8) * (10 + i % 8);
    const bool border = x < 2 || y < 2 || x >= kSide - 2 || y >= kSide - 2;
    const std::uint32_t r = static_cast<std::uint32_t>((x * 5 + i) & 0xFF);
    const std::uint32_t g = static_cast<std::uint32_t>((y * 5 + 2 * i) & 0xFF);
    const std::uint32_t b = disc ? 0xE0u : 0x30u;
    const std::uint32_t a = border ? 0u : (disc ? 0xFFu : 0xC0u);
    return PackArgb(a, r, g, b);
}

Bytes MakeK18(int i, bool masked) {
    const std::size_t stride = (3 * kSide + 3) / 4 * 4;
    const std::size_t maskStride = ((kSide + 7) / 8 + 3) / 4 * 4;
    Bytes k;
    for (std::uint32_t w : {std::uint32_t{kSide}, std::uint32_t{kSide}, 18u, static_cast<std::uint32_t>(stride)}) {
        AppendU32(k, w);
    }
    Bytes mask(maskStride * kSide, 0);
    for (int y = 0; y < kSide; ++y) {
        Bytes row(stride, 0);
        for (int x = 0; x < kSide; ++x) {
            const std::uint32_t p = IconPixel(i, x, y);
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

Bytes MakeK32(int i) {
    Bytes k;
    for (std::uint32_t w : {std::uint32_t{kSide}, std::uint32_t{kSide}, 32u, std::uint32_t{4 * kSide}}) {
        AppendU32(k, w);
    }
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            std::uint8_t px[4];
            store_u32le(px, IconPixel(i, x, y));  // B G R A
            k.insert(k.end(), px, px + 4);
        }
    }
    return k;
}

// A GIF or PNG file of an icon, through the imaging layer's own encoders.
Bytes MakeStandard(const std::string& folder, int i, const char* mime) {
    Bitmap bitmap(kSide, kSide);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) bitmap.SetPixel(x, y, IconPixel(i, x, y));
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

// The shared data: generated once, removed when the program ends.
class BenchData {
public:
    BenchData() {
        // TAVRO_BENCH_DIR picks the file system, e.g. /dev/shm to leave the disk out.
        const char* base = std::getenv("TAVRO_BENCH_DIR");
        std::string tmpl = ((base != nullptr && *base != '\0') ? std::filesystem::path(base)
                                                                : std::filesystem::temp_directory_path()) /
                           "tavro-bench-XXXXXX";
        if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        root = tmpl + "/";

        const Bytes gif = MakeStandard(root, 1, "image/gif");
        const Bytes png = MakeStandard(root, 2, "image/png");
        for (int i = 0; i < kIcons; ++i) {
            char name[32];
            const int kind = i % 5;
            std::snprintf(name, sizeof name, "icon%05d%s", i, kind >= 3 ? ".g" : ".k");
            Bytes bytes = kind == 0 ? MakeK18(i, true) : kind == 1 ? MakeK18(i, false) : kind == 2 ? MakeK32(i)
                          : kind == 3 ? gif
                                      : png;
            entries.push_back({name, std::move(bytes)});
        }
        WriteArchive();

        // The folder that packing reads: an unpacking to BMP, as the user leaves it.
        AppSettings.TargetFormat = tfBmp;
        MakeFolder(root + "packsrc");
        NullProgress progress;
        NullIconList icons;
        NullMessages messages;
        ExtractArchive(archive, root + "packsrc/", progress, icons, messages);
        MakeFolder(root + "copy");
    }
    ~BenchData() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }

    std::string root;
    std::string archive;
    std::vector<Entry> entries;

private:
    // Names are ascending, so names and data records follow slot order.
    void WriteArchive() {
        Bytes out(1575, ' ');
        const std::string start = "motoskin\n\nv1.00\n00000000\n";
        std::copy(start.begin(), start.end(), out.begin());
        Bytes table;
        Bytes data;
        std::uint32_t nameOffset = 0;
        for (const Entry& e : entries) {
            AppendU32(table, 1000 + static_cast<std::uint32_t>(table.size() / 12));
            AppendU32(table, nameOffset);
            AppendU32(table, static_cast<std::uint32_t>(data.size()));
            out.insert(out.end(), e.name.begin(), e.name.end());
            out.push_back('\n');
            nameOffset += static_cast<std::uint32_t>(e.name.size() + 1);
            AppendU32(data, DataRecordMagic);
            AppendU32(data, static_cast<std::uint32_t>(e.bytes.size()));
            data.insert(data.end(), e.bytes.begin(), e.bytes.end());
        }
        while (out.size() % 4 != 0) out.push_back(0);
        const auto p = static_cast<std::uint32_t>(out.size());
        const std::string digits = FormatOffsetField(p);
        std::copy(digits.begin(), digits.end(), out.begin() + 16);
        const auto n = static_cast<std::uint32_t>(entries.size());
        for (std::uint32_t w : {TableHeaderMagic, 1575u, n, p + 20, p + 20 + 12 * n}) AppendU32(out, w);
        out.insert(out.end(), table.begin(), table.end());
        out.insert(out.end(), data.begin(), data.end());
        archive = root + "iconres.ezx";
        WriteWholeFile(archive, out);
    }
};

BenchData& Data() {
    static BenchData data;
    return data;
}

void SetRate(benchmark::State& state) {
    state.counters["icons/s"] = benchmark::Counter(kIcons, benchmark::Counter::kIsIterationInvariantRate);
}

// The floor for unpacking: every entry's bytes into a file of its own.
void BM_CopyIntoFiles(benchmark::State& state) {
    BenchData& d = Data();
    for (auto _ : state) {
        for (const Entry& e : d.entries) WriteWholeFile(d.root + "copy/" + e.name, e.bytes);
    }
    SetRate(state);
}

void Unpack(benchmark::State& state, TTargetFormat target, const char* folder) {
    BenchData& d = Data();
    AppSettings.TargetFormat = target;
    MakeFolder(d.root + folder);
    NullProgress progress;
    NullIconList icons;
    NullMessages messages;
    for (auto _ : state) ExtractArchive(d.archive, d.root + folder + "/", progress, icons, messages);
    SetRate(state);
}

void BM_UnpackBmp(benchmark::State& state) { Unpack(state, tfBmp, "bmp"); }
void BM_UnpackPng(benchmark::State& state) { Unpack(state, tfPng, "png"); }

// The floor for packing: as many files read and their bytes written into one file.
void BM_CopyFromFiles(benchmark::State& state) {
    BenchData& d = Data();
    for (const Entry& e : d.entries) WriteWholeFile(d.root + "copy/" + e.name, e.bytes);
    std::vector<std::uint8_t> buffer(1 << 20);
    for (auto _ : state) {
        File out = File::Create(d.root + "copied.ezx");
        for (const Entry& e : d.entries) {
            File in = File::OpenRead(d.root + "copy/" + e.name);
            const std::size_t got = in.Read(buffer.data(), buffer.size());
            in.Close();
            out.Write(std::span<const std::uint8_t>(buffer.data(), got));
        }
        out.Close();
    }
    SetRate(state);
}

void BM_Pack(benchmark::State& state) {
    BenchData& d = Data();
    NullProgress progress;
    NullMessages messages;
    for (auto _ : state) {
        if (PackArchive(d.root + "packsrc/", d.root + "packed.ezx", progress, messages) != PackResult::Packed) {
            state.SkipWithError("nothing packed");
        }
    }
    SetRate(state);
}

// The name index and the packing order for the most icons a packing takes, names
// arriving in ascending order (the worst case of an unbalanced tree and of a
// selection sort).
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
        TSearchTree* root = nullptr;
        for (const TConvRec& r : records) TreeInsert(root, r);
        std::vector<TConvRec> found;
        found.reserve(records.size());
        for (const TConvRec& r : records) found.push_back(TreeFind(root, r.IconName));
        benchmark::DoNotOptimize(SortByRawName(found));
        TreeFree(root);
    }
}

BENCHMARK(BM_IndexAndSort65535)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyIntoFiles)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_UnpackBmp)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_UnpackPng)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CopyFromFiles)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Pack)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace tavro

BENCHMARK_MAIN();
