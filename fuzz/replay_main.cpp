// Runs a harness over saved inputs, without libFuzzer: every file named on the
// command line, and every plain file in every folder named (not recursive), in sorted
// order. A missing folder is passed over with a note; no input at all is a failure, so
// that a test replaying an empty corpus cannot pass by doing nothing. An input that
// takes longer than TAVRO_REPLAY_MAX_SECONDS (default 10; generous, for loaded
// machines and sanitizers) is a failure too: a hang found by fuzzing must stay fixed.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (fs::is_regular_file(argv[i], ec)) inputs.push_back(argv[i]);
        if (!fs::exists(argv[i], ec))
            std::fprintf(stderr, "replay: %s does not exist, passed over\n", argv[i]);
        for (const auto& e : fs::directory_iterator(argv[i], ec))  // nothing unless a folder
            if (e.is_regular_file()) inputs.push_back(e.path());
    }
    std::sort(inputs.begin(), inputs.end());
    const char* limitText = std::getenv("TAVRO_REPLAY_MAX_SECONDS");
    const double limit = limitText != nullptr ? std::atof(limitText) : 10;
    int slow = 0;
    for (const fs::path& p : inputs) {
        std::ifstream in(p, std::ios::binary);
        const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", p.c_str(), bytes.size());
        static const std::uint8_t none = 0;  // a harness never sees a null pointer, even for no bytes
        const auto start = std::chrono::steady_clock::now();
        LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds > limit) {
            std::fprintf(stderr, "replay: %s took %.1f s, more than %.1f s\n", p.c_str(), seconds, limit);
            ++slow;
        }
    }
    std::printf("replay: %zu inputs\n", inputs.size());
    return inputs.empty() || slow > 0 ? 1 : 0;
}
