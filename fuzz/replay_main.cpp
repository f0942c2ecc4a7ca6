// Runs a harness over saved inputs, without libFuzzer: every file named on the
// command line, and every plain file in every folder named (sorted, not recursive).
// A missing folder is passed over with a note; no input at all is a failure, so that
// a test replaying an empty corpus cannot pass by doing nothing. An input that takes
// longer than TAVRO_REPLAY_MAX_SECONDS (default 10; generous, for loaded machines and
// sanitizers) is a failure too: a hang found by fuzzing must stay fixed.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::uint8_t> Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg = argv[i];
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            std::vector<fs::path> files;
            for (const auto& e : fs::directory_iterator(arg, ec))
                if (e.is_regular_file()) files.push_back(e.path());
            std::sort(files.begin(), files.end());
            inputs.insert(inputs.end(), files.begin(), files.end());
        } else if (fs::is_regular_file(arg, ec)) {
            inputs.push_back(arg);
        } else {
            std::fprintf(stderr, "replay: %s does not exist, passed over\n", argv[i]);
        }
    }
    const char* limitText = std::getenv("TAVRO_REPLAY_MAX_SECONDS");
    const double limit = limitText != nullptr ? std::atof(limitText) : 10.0;
    double slowest = 0;
    int slow = 0;
    for (const fs::path& p : inputs) {
        const std::vector<std::uint8_t> bytes = Slurp(p);
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", p.c_str(), bytes.size());
        // A harness never sees a null pointer, even for an empty input.
        static const std::uint8_t none = 0;
        const auto start = std::chrono::steady_clock::now();
        LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        slowest = std::max(slowest, seconds);
        if (seconds > limit) {
            std::fprintf(stderr, "replay: %s took %.1f s, more than %.1f s\n", p.c_str(), seconds, limit);
            ++slow;
        }
    }
    std::printf("replay: %zu inputs, slowest %.3f s\n", inputs.size(), slowest);
    return inputs.empty() || slow > 0 ? 1 : 0;
}
