#include "fuzz/fuzzsupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "fuzz/seedbytes.h"
#include "imaging/errors.h"

namespace tavro::fuzz {

namespace {

std::string MakeScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tavro-fuzz-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) Finding("cannot make a scratch folder");
    return tmpl + "/";
}

std::string* scratch = nullptr;

void RemoveScratch() {
    if (scratch == nullptr) return;
    std::error_code ec;
    std::filesystem::remove_all(*scratch, ec);
}

}  // namespace

const std::string& ScratchDir() {
    if (scratch == nullptr) {
        scratch = new std::string(MakeScratchDir());
        std::atexit(RemoveScratch);
    }
    return *scratch;
}

void PutFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    ::unlink(path.c_str());
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) Finding("cannot create " + path + ": " + std::strerror(errno));
    std::size_t done = 0;
    while (done < size) {
        ssize_t w = ::write(fd, data + done, size - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) Finding("cannot write " + path + ": " + std::strerror(errno));
        done += static_cast<std::size_t>(w);
    }
    ::close(fd);
}

void PutFile(const std::string& path, const std::string& bytes) {
    PutFile(path, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

void EmptyFolder(const std::string& folder) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::error_code rm;
        std::filesystem::remove_all(entry.path(), rm);
        if (rm) Finding("cannot clean " + entry.path().string() + ": " + rm.message());
    }
}

void MakeFolders(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) Finding("cannot make " + folder + ": " + ec.message());
}

void Guarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const IoError&) {
    } catch (const DataError&) {
    } catch (const std::logic_error& e) {
        if (std::strcmp(e.what(), "not built yet") != 0) throw;
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
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(0x80FF0000u);
    for (const char* format : {"PNG", "BMP", "JPEG"}) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        QImage back;
        back.loadFromData(bytes);
    }
    const std::string gif = seeds::TinyGif();
    QImage back;
    back.loadFromData(reinterpret_cast<const uchar*>(gif.data()), static_cast<int>(gif.size()));
}

}  // namespace tavro::fuzz
