#include "fuzz/fuzzsupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "imaging/standard.h"
#include "imaging/conversion.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"

namespace tavro::fuzz {

namespace {

std::string* scratch = nullptr;

void RemoveScratch() {
    std::error_code ec;
    std::filesystem::remove_all(*scratch, ec);
}

}  // namespace

const std::string& ScratchDir() {
    if (scratch == nullptr) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tavro-fuzz-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) == nullptr) Finding("cannot make a scratch folder");
        scratch = new std::string(tmpl + "/");
        std::atexit(RemoveScratch);
    }
    return *scratch;
}

void Guarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const IoError&) {
    } catch (const DataError&) {
    }
}

void Finding(const std::string& what) {
    std::fprintf(stderr, "FINDING: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void WarmUpImaging() {
    static bool done = false;
    if (done) return;
    done = true;
    Bitmap b(3, 2);
    b.SetPixel(1, 1, 0x80FF0000u);
    for (const char* mime : TargetMimeTypes) DecodeBitmap(EncodeBitmap(b, mime, "warm-up"));
}

void MakePackFolder(const std::string& folder) {
    std::filesystem::create_directories(folder + "icons");
    std::filesystem::create_directories(folder + "raws");
    auto put = [&](const char* name, std::string_view bytes) {
        WriteWholeFile(folder + name, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    };
    put("iconres.hdr", "motoskin\n\nv1.00\n00000000\nfree text");
    put("raws/r(2x02).raw", std::string_view("\xF8\x00\x07\xE0\x00\x1F\xFF\xFF\x40\x00", 10));
    put("raws/notes.txt", "not a picture");
    Bitmap b(5, 3);
    for (int i = 0; i < 15; ++i) b.SetPixel(i % 5, i / 5, (i % 4 == 0 ? 0u : 0xFF000000u) | (0x102030u * i));
    SaveBitmap(b, folder + "icons/a.png", "image/png");
    SaveBitmap(b, folder + "icons/b.bmp", "image/bmp");
}

}  // namespace tavro::fuzz
