// The cost of replacing files whole, as unpacking into the folder of an earlier run
// does, against writing over them in place as Tavro did before (which a kill or a
// full disk could leave mixed). Side by side in one run:
//
//   InPlace          before: open the existing file, write, cut to length, close
//   ReplaceDeferred  unpacking now: each file new beside the old one and renamed
//                    over it, one flush of the file system at the end (the folder
//                    is marked unfinished until then)
//   ReplaceSynced    a single file now (convert, Save Picture, pack): the same with
//                    a flush of each file before its rename
//   UnpackOver       the whole unpacking of the sample archive into its earlier folder,
//                    whose files it finds as it would write them
//   UnpackOverEdited the same after every file of the folder was changed
//
// 2,000 files of 3 KiB, an icon's size, per iteration. TAVRO_BENCH_DIR=/dev/shm leaves
// the disk out.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "archive/extract.h"
#include "bench/benchfolder.h"
#include "imaging/fileio.h"

namespace tavro {
namespace {

constexpr int kFiles = 2000;
constexpr std::size_t kFileSize = 3 * 1024;

// The earlier run's folder, made once.
const std::string& Earlier() {
    static const std::string folder = [] {
        const std::string f = MakeBenchFolder("tavro-replace");
        const std::vector<std::uint8_t> bytes(kFileSize, 1);
        for (int i = 0; i < kFiles; ++i) WriteWholeFile(f + "icon" + std::to_string(i) + ".bmp", bytes);
        return f;
    }();
    return folder;
}

// Other content for every pass, across repetitions too: a file that holds the bytes
// to be written already is left alone.
std::uint8_t NextFill() {
    static std::uint8_t fill = 0;
    return ++fill;
}

void BM_InPlace(benchmark::State& state) {
    std::vector<std::uint8_t> bytes(kFileSize);
    for (auto _ : state) {
        bytes[0] = NextFill();
        for (int i = 0; i < kFiles; ++i) {
            const std::string path = Earlier() + "icon" + std::to_string(i) + ".bmp";
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
                ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 || ::close(fd) != 0) {
                state.SkipWithError("cannot write");
                return;
            }
        }
    }
}

void BM_ReplaceDeferred(benchmark::State& state) {
    std::vector<std::uint8_t> bytes(kFileSize);
    for (auto _ : state) {
        bytes[0] = NextFill();
        DeferredSync deferred;
        for (int i = 0; i < kFiles; ++i) WriteWholeFile(Earlier() + "icon" + std::to_string(i) + ".bmp", bytes);
        deferred.Flush(Earlier());
    }
}

void BM_ReplaceSynced(benchmark::State& state) {
    std::vector<std::uint8_t> bytes(kFileSize);
    for (auto _ : state) {
        bytes[0] = NextFill();
        for (int i = 0; i < kFiles; ++i) WriteWholeFile(Earlier() + "icon" + std::to_string(i) + ".bmp", bytes);
    }
}

void BM_UnpackOver(benchmark::State& state) {
    static const std::string folder = MakeBenchFolder("tavro-unpack");
    const std::string archive = std::string(TAVRO_SOURCE_DIR) + "/examples/iconres.ezx";
    NullProgress progress;
    NullIconList icons;
    NullMessages messages;
    ExtractArchive(archive, folder, tfBmp, progress, icons, messages);
    for (auto _ : state) ExtractArchive(archive, folder, tfBmp, progress, icons, messages);
}

void BM_UnpackOverEdited(benchmark::State& state) {
    static const std::string folder = MakeBenchFolder("tavro-unpack-edited");
    const std::string archive = std::string(TAVRO_SOURCE_DIR) + "/examples/iconres.ezx";
    NullProgress progress;
    NullIconList icons;
    NullMessages messages;
    ExtractArchive(archive, folder, tfBmp, progress, icons, messages);
    std::vector<std::string> files;
    for (const char* sub : {"raws/", "icons/"})
        for (const std::string& name : ListRegularFiles(folder + sub)) files.push_back(folder + sub + name);
    for (auto _ : state) {
        state.PauseTiming();
        for (const std::string& f : files) WriteWholeFile(f, std::vector<std::uint8_t>{1, 2, 3});
        state.ResumeTiming();
        ExtractArchive(archive, folder, tfBmp, progress, icons, messages);
    }
}

BENCHMARK(BM_InPlace)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_ReplaceDeferred)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_ReplaceSynced)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_UnpackOver)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_UnpackOverEdited)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly();

}  // namespace
}  // namespace tavro

BENCHMARK_MAIN();
