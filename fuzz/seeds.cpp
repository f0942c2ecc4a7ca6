// Writes the seed corpus of every harness into <folder>/<harness>/, with truncations of
// each seed: the sample archive and its entries, pictures made by the standard encoders
// and the .k writers, and archives packed from the pack harness's folder with each of
// the structure files seeded for it.
//
//   fuzz_seeds <folder>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "archive/format.h"
#include "archive/pack.h"
#include "archive/reader.h"
#include "fuzz/fuzzsupport.h"
#include "imaging/standard.h"
#include "imaging/bytes.h"
#include "imaging/kbitmap.h"

namespace {

using namespace tavro;

std::map<std::string, std::vector<std::pair<std::string, std::string>>> corpus;

// A seed and its truncations; `keep` leading bytes (a harness's own prefix) stay whole.
void Add(const std::string& harness, const std::string& label, const std::string& bytes, std::size_t keep = 0) {
    corpus[harness].push_back({label, bytes});
    const std::size_t body = bytes.size() - keep;
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{16}, std::size_t{17}, body / 2, body - 1})
        if (cut < body) corpus[harness].push_back({label + "-cut" + std::to_string(cut), bytes.substr(0, keep + cut)});
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A picture of width x height with transparent, barely visible and opaque pixels,
// saved as `mime`, and then, for a handset kind, written as a .k from that.
std::string Picture(int width, int height, const char* mime, int kind = pkG) {
    Bitmap b(width, height);
    for (int i = 0; i < width * height; ++i) {
        const std::uint32_t alpha = i % 5 == 0 ? 0 : (i % 3 == 0 ? 1 : 255);
        b.SetPixel(i % width, i / width, PackArgb(alpha, i * 37 & 0xFF, i * 53 & 0xFF, (i * i + 91) & 0xFF));
    }
    std::vector<std::uint8_t> file = EncodeBitmap(b, mime, "picture");
    if (kind != pkG) {
        const Bitmap loaded = DecodeBitmap(file);
        file = kind == pkK32 ? EncodeKBitmap32(loaded, "picture") : EncodeKBitmap18(loaded, kind == pkK18Masked, "picture");
    }
    return std::string(file.begin(), file.end());
}

// A structure file for the pack harness's folder, written with the format's own writer.
std::string Structure(std::uint32_t count, const std::vector<TConvRec>& records) {
    std::vector<std::uint8_t> out(kStructureCountSize);
    store_u32le(out.data(), count);
    for (TConvRec rec : records) {
        std::size_t pos = out.size();
        rec.NameHash = HashName(rec.IconName);
        out.resize(pos + StructureRecordSize(rec));
        PutStructureRecord(rec, pos, out.data());
    }
    return std::string(out.begin(), out.end());
}

// The picture harness's input: its selector byte (kind, target format), the name, the content.
std::string Named(int kind, int target, const std::string& name, const std::string& content) {
    return std::string(1, static_cast<char>(kind | target << 2)) + static_cast<char>(name.size()) + name + content;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <folder>\n");
        return 2;
    }
    // The sample's entries: .k and .g as they are, a .raw or other file under its name.
    ArchiveReader reader(TAVRO_SAMPLE_ARCHIVE);
    std::vector<std::uint8_t> entry(kPictureAreaSize);
    int n = 0;
    for (const ArchiveSlot& slot : reader.ReadSlots()) {
        if (slot.empty) continue;
        const std::string bytes(entry.begin(), entry.begin() + static_cast<long>(reader.ReadEntry(slot, entry.data())));
        const std::string ext = slot.name.substr(slot.name.rfind('.'));
        const int kind = ext == ".k" ? 0 : ext == ".g" ? 1 : ext == ".raw" ? 2 : 3;
        const std::string name = kind == 2 ? slot.name.substr(0, slot.name.size() - 4) : slot.name;
        Add("picture", slot.name, kind < 2 ? std::string(1, static_cast<char>(kind | (n++ % 4) << 2)) + bytes
                                           : Named(kind, n++ % 4, name, bytes), kind < 2 ? 1 : 2 + name.size());
        if (kind == 1) Add("kwrite", slot.name, bytes);
    }
    // An odd width: rows with padding, mask rows past the last pixel; names read by kind.
    for (int kind : {pkK18Masked, pkK18, pkK32})
        Add("picture", "k" + std::to_string(kind), char(kind << 2) + Picture(33, 2, "image/png", kind), 1);
    for (const char* name : {"PIC.K", "icon(16x1a).raw", "set (2) icon(16x16).raw"})
        Add("picture", name, Named(3, 1, name, Picture(3, 2, "image/bmp", name[0] == 'P' ? pkK18Masked : pkG)));

    // Sources of the .k writer in every standard format; a BMP stored top row first.
    for (const char* mime : TargetMimeTypes) Add("kwrite", mime + 6, Picture(5, 3, mime));
    Add("kwrite", "bmp-top-down", Picture(4, 3, "image/bmp").replace(22, 4, "\xFD\xFF\xFF\xFF"));  // height -3

    // Structure files for the pack harness's folder, and the archives they pack into.
    auto rec = [](std::uint32_t slot, const char* raw, const char* icon, std::uint8_t kind) {
        return TConvRec{0, 0x41000u + slot, raw, icon, slot, kind};
    };
    const std::pair<const char*, std::string> structures[] = {
        {"every-kind", Structure(5, {rec(2, "b.k", "b.bmp", pkK18), rec(0, "a.g", "a.png", pkG),
                                     rec(1, "[]", "[]", pkOther), rec(3, "r(2x02).raw", "r(2x02).png", pkRaw),
                                     rec(4, "notes.txt", "notes.png", pkOther)})},
        {"same-icon", Structure(2, {rec(0, "x.k", "b.bmp", pkK18), rec(1, "y.k", "b.bmp", pkK32)})},
        {"gone-raw", Structure(2, {rec(1, "gone.raw", "gone.png", pkRaw), rec(0, "a.g", "a.png", pkG)})},
    };
    const std::string folder = fuzz::ScratchDir() + "pack/";
    fuzz::MakePackFolder(folder);
    for (const auto& [label, structure] : structures) {
        Add("pack", label, structure);
        std::ofstream(folder + "iconres.dat", std::ios::binary) << structure;
        NullProgress progress;
        NullMessages messages;
        fuzz::Guarded([&, label = label] {
            if (PackArchive(folder, folder + "out.ezx", progress, messages) == PackResult::Packed)
                Add("extract", label, Slurp(folder + "out.ezx"));
        });
    }
    Add("extract", "sample", Slurp(TAVRO_SAMPLE_ARCHIVE));
    corpus["info"] = corpus["extract"];  // both harnesses read archives

    for (const auto& [harness, seeds] : corpus) {
        const std::filesystem::path dir = std::filesystem::path(argv[1]) / harness;
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        for (const auto& [label, bytes] : seeds) std::ofstream(dir / label, std::ios::binary) << bytes;
        std::printf("fuzz_seeds: %s: %zu inputs\n", harness.c_str(), seeds.size());
    }
    return corpus.size() == 5 ? 0 : 1;
}
