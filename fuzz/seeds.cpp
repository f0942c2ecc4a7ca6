// Writes the seed corpus of every harness: valid archives, structure files and
// pictures of every kind, and truncations of each, into <folder>/<harness>/.
//
//   fuzz_seeds <folder>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/seedbytes.h"

namespace {

using namespace tavro::fuzz::seeds;
namespace fs = std::filesystem;

class Corpus {
public:
    Corpus(fs::path folder) : folder_(std::move(folder)) { fs::create_directories(folder_); }

    // Writes the seed and its truncations; `keep` leading bytes (a harness's own
    // prefix) stay whole in every truncation.
    void Add(const std::string& label, const std::string& bytes, std::size_t keep = 0) {
        Write(label, bytes);
        const std::size_t body = bytes.size() - keep;
        for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{15}, std::size_t{16}, std::size_t{17},
                                std::size_t{24}, std::size_t{44}, body / 2, body - 1}) {
            if (cut >= body) continue;
            Write(label + "-cut" + std::to_string(cut), bytes.substr(0, keep + cut));
        }
    }
    int Count() const { return count_; }

private:
    void Write(const std::string& label, const std::string& bytes) {
        std::ofstream out(folder_ / label, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ++count_;
    }
    fs::path folder_;
    int count_ = 0;
};

std::string Selector(int kind, int target) { return std::string(1, static_cast<char>(kind | (target << 2))); }

std::string Named(int kind, int target, const std::string& name) {
    return Selector(kind, target) + static_cast<char>(name.size()) + name;
}

void PictureSeeds(Corpus& c) {
    c.Add("k18", Selector(0, 2) + K18(5, 3, false), 1);
    c.Add("k18-mask", Selector(0, 1) + K18(5, 3, true), 1);
    c.Add("k18-mask-w33", Selector(0, 0) + K18(33, 2, true), 1);
    c.Add("k18-1x1", Selector(0, 3) + K18(1, 1, true), 1);
    c.Add("k32", Selector(0, 1) + K32(4, 3), 1);
    c.Add("k32-gif", Selector(0, 0) + K32(3, 2), 1);
    c.Add("g-gif", Selector(1, 2) + TinyGif(), 1);
    c.Add("g-png", Selector(1, 1) + Png(3, 2), 1);
    c.Add("g-jpeg", Selector(1, 3) + Jpeg(3, 2));
    const std::string n1 = "icon(15x15)";
    c.Add("raw-15x15", Named(2, 1, n1) + Raw(15, 15), 2 + n1.size());
    const std::string n2 = "a(4X02)";
    c.Add("raw-4x2", Named(2, 2, n2) + Raw(4, 2), 2 + n2.size());
    const std::string n3 = "x(3x003)";
    c.Add("raw-3x3-gif", Named(2, 0, n3) + Raw(3, 3), 2 + n3.size());
    c.Add("raw-zero-width", Named(2, 1, "icon(0x16)") + Raw(2, 2));
    c.Add("raw-bad-height", Named(2, 1, "icon(16x1a)") + Raw(2, 2));
    c.Add("raw-nested", Named(2, 1, "set (2) icon(16x16)") + Raw(2, 2));
    c.Add("name-upper-k", Named(3, 1, "PIC.K") + K18(3, 2, true));
    c.Add("name-upper-raw", Named(3, 2, "Icon(2x02).Raw") + Raw(2, 2));
    c.Add("name-none", Named(3, 1, "readme") + "text");
    c.Add("name-bmp", Named(3, 1, "icon.bmp") + Bmp24(2, 2));
}

void KWriteSeeds(Corpus& c) {
    c.Add("bmp32", Bmp32(5, 3));
    c.Add("bmp32-w33", Bmp32(33, 2));
    c.Add("bmp24", Bmp24(5, 3));
    std::string topDown = Bmp32(4, 3);
    topDown[22] = static_cast<char>(0xFD);  // height -3: rows stored top row first
    topDown[23] = topDown[24] = topDown[25] = static_cast<char>(0xFF);
    c.Add("bmp32-top-down", topDown);
    c.Add("png", Png(4, 4));
    c.Add("jpeg", Jpeg(4, 4));
    c.Add("gif", TinyGif());
}

void ExtractSeeds(Corpus& c) {
    // The two-slot archive of the layout description: 115 bytes.
    c.Add("two-slots", Archive({{7, false, "a.k", "abc"}, {0, true, "", ""}}, 55));
    c.Add("every-kind", Archive({{1, false, "m.k", K18(5, 3, true)},
                                 {2, false, "n.k", K18(4, 2, false)},
                                 {3, true, "", ""},
                                 {4, false, "t.k", K32(3, 2)},
                                 {5, false, "g.g", TinyGif()},
                                 {6, false, "p.g", Png(2, 2)},
                                 {7, false, "i(4x02).raw", Raw(4, 2)},
                                 {8, false, "readme.txt", "not a picture"}},
                                60));
    c.Add("no-slots", Archive({}, 40));
    c.Add("upper-digits", Archive({{9, false, "u.K", K32(2, 2)}}, 48, true));
    c.Add("long-header", Archive({{1, false, "h.g", Png(2, 1)}, {2, true, "", ""}}, 1600));
    c.Add("same-name", Archive({{1, false, "d.k", K18(2, 2, true)}, {2, false, "d.k", K32(1, 1)}}, 32));
}

void PackSeeds(Corpus& c) {
    c.Add("two-icons", Structure(2, {{0, "a.g", "a.png", 4, 11}, {1, "b.k", "b.bmp", 1, 12}}));
    c.Add("k18-k32", Structure(3, {{2, "b.k", "b.bmp", 2, 5}, {0, "a.k", "a.png", 3, 6}, {1, "[]", "[]", 5, 0}}));
    c.Add("k32", Structure(2, {{1, "b.k", "b.bmp", 3, 1}}));
    c.Add("no-slots", Structure(0, {{0, "a.g", "a.png", 4, 1}}));
    c.Add("raw-kind", Structure(1, {{0, "b(4x03).raw", "b.bmp", 0, 1}}));
    c.Add("same-icon", Structure(2, {{0, "x.k", "b.bmp", 1, 1}, {1, "y.k", "b.bmp", 2, 2}}));
    c.Add("kind-9", Structure(1, {{0, "b.k", "b.bmp", 9, 1}}));
    c.Add("carried-raws", Structure(4, {{3, "r(2x02).raw", "r(2x02).png", 0, 1},
                                        {1, "notes.txt", "notes.png", 5, 2},
                                        {0, "a.g", "a.png", 4, 3},
                                        {2, "gone.raw", "gone.png", 0, 4}}));
}

void PathSeeds(Corpus& c) {
    for (const char* name : {"icon(176x220).raw", "C:/set (2)/icon(16x16).raw", "out/a.b.bmp", "set.v2/readme",
                             "a.", "dir/", "ICON.G", "x(99999999999x12).raw", "x(12x-4).raw", "(1x22)"})
        c.Add(name[0] == '\0' ? "empty" : std::string("p") + std::to_string(c.Count()), name);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <folder>\n");
        return 2;
    }
    const fs::path root = argv[1];
    int total = 0;
    struct Set {
        const char* name;
        void (*fill)(Corpus&);
    };
    for (const Set& s : {Set{"picture", PictureSeeds}, Set{"kwrite", KWriteSeeds}, Set{"extract", ExtractSeeds},
                         Set{"pack", PackSeeds}, Set{"paths", PathSeeds},
                         Set{"info", ExtractSeeds}}) {
        fs::remove_all(root / s.name);
        Corpus c(root / s.name);
        s.fill(c);
        std::printf("fuzz_seeds: %s: %d inputs\n", s.name, c.Count());
        total += c.Count();
    }
    return total > 0 ? 0 : 1;
}
