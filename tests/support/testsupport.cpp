#include "support/testsupport.h"

#include <sys/stat.h>

#include <algorithm>
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

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

::testing::AssertionResult Contains(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\" does not contain \"" << part << "\"";
}

void Recorder::SetCaption(const std::string& caption) {
    log.push_back("caption:" + caption);
    if (caption == hookCaption && action) action();
}

void Recorder::Append(const std::string& name) {
    log.push_back("append:" + name);
    lines.push_back(name);
}

std::vector<std::string> Recorder::Only(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& line : log) {
        if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
    }
    return out;
}

void AppendU32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t WordAt(const Bytes& b, std::size_t offset) {
    return b[offset] | (b[offset + 1] << 8) | (b[offset + 2] << 16) | (static_cast<std::uint32_t>(b[offset + 3]) << 24);
}

Bytes KFile(std::int32_t width, std::int32_t height, std::int32_t depth, std::int32_t stride, const Bytes& body) {
    Bytes b;
    for (std::int32_t v : {width, height, depth, stride}) AppendU32(b, static_cast<std::uint32_t>(v));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes Bmp32(std::int32_t width, std::int32_t height, std::uint32_t compression, const Bytes& rows) {
    const std::uint32_t offset = 54 + (compression == 3 ? 12 : 0);
    Bytes b = ToBytes("BM");
    AppendU32(b, offset + static_cast<std::uint32_t>(rows.size()));  // file size
    AppendU32(b, 0);                                                 // reserved
    AppendU32(b, offset);                                            // pixel data offset
    AppendU32(b, 40);                                                // info header size
    AppendU32(b, static_cast<std::uint32_t>(width));
    AppendU32(b, static_cast<std::uint32_t>(height));
    AppendU32(b, 1 | 32 << 16);  // planes 1, 32 bits per pixel
    AppendU32(b, compression);
    for (int i = 0; i < 5; ++i) AppendU32(b, 0);  // image size, resolution, colours
    if (compression == 3) {
        for (std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu}) AppendU32(b, mask);  // R, G, B; no alpha
    }
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

Bytes HeaderText(std::size_t length) {
    Bytes h = ToBytes("motoskin\n\nv1.00\n????????");
    for (std::size_t i = h.size(); i < length; ++i) h.push_back(static_cast<std::uint8_t>('A' + i % 26));
    h.resize(length);
    return h;
}

Bytes BuildArchive(Bytes header, const std::vector<Slot>& entries, ArchiveOptions options) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].name.empty()) order.push_back(i);
    }
    auto key = [&](std::size_t i) { return entries[i].order.empty() ? entries[i].name : entries[i].order; };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
    Bytes names;
    Bytes data;
    std::vector<std::uint32_t> nameOffset(entries.size(), 0xFFFFFFFF);
    std::vector<std::uint32_t> dataOffset(entries.size(), 0xFFFFFFFF);
    for (std::size_t i : order) {
        nameOffset[i] = static_cast<std::uint32_t>(names.size());
        dataOffset[i] = static_cast<std::uint32_t>(data.size());
        const Bytes name = ToBytes(entries[i].name + "\n");
        names.insert(names.end(), name.begin(), name.end());
        AppendU32(data, options.dataMagic);
        AppendU32(data, static_cast<std::uint32_t>(entries[i].data.size()));
        data.insert(data.end(), entries[i].data.begin(), entries[i].data.end());
    }
    Bytes out = header;
    out.insert(out.end(), names.begin(), names.end());
    while (out.size() % 4 != 0) out.push_back(0);
    const auto p = static_cast<std::uint32_t>(out.size());
    const char* digits = options.upperCaseDigits ? "0123456789ABCDEF" : "0123456789abcdef";
    for (int k = 0; k < 8; ++k) out[16 + k] = static_cast<std::uint8_t>(digits[(p >> (28 - 4 * k)) & 0xF]);
    const auto n = static_cast<std::uint32_t>(entries.size());
    for (std::uint32_t w : {options.tableMagic, static_cast<std::uint32_t>(header.size()), n, p + 20, p + 20 + 12 * n})
        AppendU32(out, w);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        AppendU32(out, entries[i].name.empty() ? 0xFFFFFFFF : entries[i].resourceId);
        AppendU32(out, nameOffset[i]);
        AppendU32(out, dataOffset[i]);
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::uint32_t TablePosition(const Bytes& archive) {
    return static_cast<std::uint32_t>(std::stoul(std::string(archive.begin() + 16, archive.begin() + 24), nullptr, 16));
}

Bytes StructureFile(std::uint32_t count, const std::vector<Record>& records) {
    Bytes out;
    AppendU32(out, count);
    for (const Record& r : records) {
        AppendU32(out, r.slot);
        AppendU32(out, static_cast<std::uint32_t>(r.rawName.size()));
        out.insert(out.end(), r.rawName.begin(), r.rawName.end());
        AppendU32(out, static_cast<std::uint32_t>(r.iconName.size()));
        out.insert(out.end(), r.iconName.begin(), r.iconName.end());
        out.push_back(r.kind);
        AppendU32(out, r.hash);
        AppendU32(out, r.resourceId);
    }
    return out;
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
    for (int y = 0; y < std::max(want.Height(), got.Height()); ++y) {
        for (int x = 0; x < std::max(want.Width(), got.Width()); ++x) {
            if (got.Width() != want.Width() || got.Height() != want.Height() || got.GetPixel(x, y) != want.GetPixel(x, y))
                return ::testing::AssertionFailure() << "size " << got.Width() << "x" << got.Height() << " or pixel "
                                                     << x << "," << y << " differs";
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace tavro::test
