#include "imaging/fileio.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#include "imaging/errors.h"

namespace tavro {

File::File(File&& other) noexcept { *this = std::move(other); }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        staleEnd_ = std::exchange(other.staleEnd_, 0);
        position_ = other.position_;
        writtenEnd_ = other.writtenEnd_;
    }
    return *this;
}

File::~File() { Release(); }

void File::Release() noexcept {
    if (fd_ < 0) return;
    // Given up, for example after a failed write: what was written stays, as it
    // would after truncating on opening, and none of the old content.
    CutStaleContent();
    ::close(fd_);
    fd_ = -1;
}

bool File::CutStaleContent() {
    if (staleEnd_ <= writtenEnd_) return true;
    staleEnd_ = 0;
    return ::ftruncate(fd_, static_cast<off_t>(writtenEnd_)) == 0;
}

File File::OpenRead(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) ThrowIoError(path);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        ThrowIoError(EISDIR, path);
    }
    return File(fd, path);
}

File File::OpenReadWrite(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) ThrowIoError(path);
    return File(fd, path);
}

File File::OpenWrite(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) ThrowIoError(path);
    return File(fd, path);
}

File File::Create(const std::string& path) {
    if (const int denied = WriteProtection(path)) ThrowIoError(denied, path);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) ThrowIoError(path);
    File file(fd, path);
    // Only a regular file is cut; a device such as /dev/full is written as it is.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) file.staleEnd_ = static_cast<std::uint64_t>(st.st_size);
    return file;
}

File File::CreateUnnamed(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR)) {
        const std::string path = folder + "/.tavro-scratch-" + std::to_string(::getpid());
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) ::unlink(path.c_str());
    }
    if (fd < 0) ThrowIoError(folder);
    return File(fd, folder);
}

std::size_t File::Read(std::uint8_t* buffer, std::size_t len) {
    if (fd_ < 0) ThrowFileNotOpen(path_);
    std::size_t done = 0;
    while (done < len) {
        ssize_t r = ::read(fd_, buffer + done, len - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            ThrowIoError(path_);
        }
        if (r == 0) break;
        done += static_cast<std::size_t>(r);
    }
    return done;
}

std::size_t File::ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t len) {
    if (fd_ < 0) ThrowFileNotOpen(path_);
    std::size_t done = 0;
    while (done < len) {
        ssize_t r = ::pread(fd_, buffer + done, len - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            // An offset beyond what the system can address reads nothing, like a short read.
            if (errno == EINVAL || errno == EOVERFLOW) break;
            ThrowIoError(path_);
        }
        if (r == 0) break;
        done += static_cast<std::size_t>(r);
    }
    return done;
}

void File::Write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) ThrowFileNotOpen(path_);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t w = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            ThrowIoError(path_);
        }
        done += static_cast<std::size_t>(w);
        position_ += static_cast<std::uint64_t>(w);
        writtenEnd_ = std::max(writtenEnd_, position_);
    }
}

void File::Write(const std::string& bytes) {
    Write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

void File::Seek(std::uint64_t offset) {
    if (fd_ < 0) ThrowFileNotOpen(path_);
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) ThrowIoError(path_);
    position_ = offset;
}

std::uint64_t File::Size() const {
    if (fd_ < 0) ThrowFileNotOpen(path_);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) ThrowIoError(path_);
    return static_cast<std::uint64_t>(st.st_size);
}

void File::Truncate(std::uint64_t size) {
    if (fd_ < 0) ThrowFileNotOpen(path_);
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) ThrowIoError(path_);
    staleEnd_ = 0;
}

void File::Sync() {
    if (fd_ < 0) ThrowFileNotOpen(path_);
    if (::fsync(fd_) != 0) ThrowIoError(path_);
}

void File::Close() {
    if (fd_ < 0) return;
    if (!CutStaleContent()) {
        const int error = errno;
        Release();
        ThrowIoError(error, path_);
    }
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) ThrowIoError(path_);
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::uint64_t maxSize) {
    File f = File::OpenRead(path);
    std::uint64_t size = f.Size();
    if (size > maxSize) {
        throw DataError(path, "file is too large (" + std::to_string(size) + " bytes, at most " +
                                  std::to_string(maxSize) + ")");
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    bytes.resize(f.Read(bytes.data(), bytes.size()));
    f.Close();
    return bytes;
}

std::vector<std::uint8_t> ReadFilePrefix(const std::string& path, std::size_t len) {
    File f = File::OpenRead(path);
    std::vector<std::uint8_t> bytes(len);
    bytes.resize(f.Read(bytes.data(), len));
    f.Close();
    return bytes;
}

void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    File f = File::Create(path);
    f.Write(bytes);
    f.Close();
}

void CopyFileReplacing(const std::string& src, const std::string& dst) {
    File in = File::OpenRead(src);
    File out = File::Create(dst);
    std::vector<std::uint8_t> buffer(1 << 16);
    for (;;) {
        std::size_t n = in.Read(buffer.data(), buffer.size());
        if (n == 0) break;
        out.Write(std::span<const std::uint8_t>(buffer.data(), n));
    }
    in.Close();
    out.Close();
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

int WriteProtection(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    if (::access(path.c_str(), W_OK) != 0) return errno;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ? EACCES : 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void RequireFolder(const std::string& folder) {
    if (!IsDirectory(folder.empty() ? "." : folder))
        ThrowIoError(FileExists(folder) ? ENOTDIR : ENOENT, folder);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool MakeFolder(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0; }

bool RemoveFolder(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

std::vector<std::string> ListRegularFiles(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return names;
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/') prefix += '/';
    while (const dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name.empty()) continue;
        struct stat st {};
        if (::stat((prefix + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        names.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ListPlainFiles(const std::string& folder) {
    std::vector<std::string> names = ListRegularFiles(folder);
    std::erase_if(names, [](const std::string& name) { return name[0] == '.'; });
    return names;
}

}  // namespace tavro
