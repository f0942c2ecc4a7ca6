#include "support/testsupport.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "imaging/bitmap.h"

namespace tavro::test {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tavro-test-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    // Make read-only folders left by a test writable again so that they can go.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec)) ::chmod(it->path().c_str(), 0755);
    }
    ::chmod(path_.c_str(), 0755);
    std::filesystem::remove_all(path_, ec);
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, Bytes(text.begin(), text.end()));
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

void AppendU32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void AppendText(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

Bytes KFile(std::int32_t width, std::int32_t height, std::int32_t depth, std::int32_t stride,
            const Bytes& body) {
    Bytes b;
    for (std::int32_t v : {width, height, depth, stride}) AppendU32(b, static_cast<std::uint32_t>(v));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bitmap OddPicture() {
    Bitmap b(47, 33);
    static constexpr std::uint32_t kAlphas[] = {0, 1, 77, 128, 254, 255, 255};
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) {
            b.SetPixel(x, y, PackArgb(kAlphas[(x + 3 * y) % 7], x * 5 + 3, y * 7 + 1, (x * y + 13) & 0xFF));
        }
    }
    return b;
}

::testing::AssertionResult SamePixels(const Bitmap& want, const Bitmap& got) {
    if (got.Width() != want.Width() || got.Height() != want.Height()) {
        return ::testing::AssertionFailure() << "size " << got.Width() << "x" << got.Height() << ", want "
                                             << want.Width() << "x" << want.Height();
    }
    for (int y = 0; y < want.Height(); ++y) {
        for (int x = 0; x < want.Width(); ++x) {
            if (got.GetPixel(x, y) != want.GetPixel(x, y)) {
                return ::testing::AssertionFailure()
                       << "pixel " << x << "," << y << " is " << std::hex << got.GetPixel(x, y) << ", want "
                       << want.GetPixel(x, y);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace tavro::test
