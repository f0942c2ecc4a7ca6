#include "imaging/fileio.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "imaging/errors.h"

namespace tavro {

namespace {

constexpr const char* kTempPrefix = ".tavro-";
constexpr const char* kTempSuffix = ".tmp";
constexpr std::size_t kTempRandomLength = 12;
constexpr int kNameAttempts = 100;

// The armed fault, and how far the process has come towards it.
struct FaultState {
    bool armed = false;
    faults::Fault fault;
    std::uint64_t written = 0;
    std::uint64_t syncs = 0;
    std::uint64_t renames = 0;
} gFault;

int gDeferredSync = 0;

[[noreturn]] void Strike(const std::string& path) {
    if (gFault.fault.action == faults::Action::Stop) {
        ::kill(::getpid(), SIGKILL);
        std::abort();
    }
    const int code = gFault.fault.code;
    gFault.armed = false;
    ThrowIoError(code, path);
}

// Before a sync or a rename: strikes when the armed fault is due there.
void FaultAt(faults::Point point, const std::string& path) {
    if (!gFault.armed || gFault.fault.point != point) return;
    std::uint64_t& seen = point == faults::Point::Sync ? gFault.syncs : gFault.renames;
    if (seen++ == gFault.fault.count) Strike(path);
}

// How many of `len` bytes may be written before the armed write fault strikes.
std::size_t WriteAllowance(std::size_t len) {
    if (!gFault.armed || gFault.fault.point != faults::Point::Write) return len;
    const std::uint64_t left = gFault.fault.count > gFault.written ? gFault.fault.count - gFault.written : 0;
    return static_cast<std::size_t>(std::min<std::uint64_t>(len, left));
}

std::string RandomName(const char* prefix, std::size_t length, const char* suffix) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uint8_t random[32] = {};
    if (::getrandom(random, length, 0) != static_cast<ssize_t>(length)) {
        // No entropy source: the name is still made with O_EXCL, only guessable.
        for (std::size_t i = 0; i < length; ++i) random[i] = static_cast<std::uint8_t>(std::rand());
    }
    std::string name = prefix;
    for (std::size_t i = 0; i < length; ++i) name += kAlphabet[random[i] % (sizeof(kAlphabet) - 1)];
    return name + suffix;
}

bool IsTempName(const std::string& name) {
    const std::size_t p = std::char_traits<char>::length(kTempPrefix);
    const std::size_t s = std::char_traits<char>::length(kTempSuffix);
    return name.size() > p + s && name.compare(0, p, kTempPrefix) == 0 &&
           name.compare(name.size() - s, s, kTempSuffix) == 0;
}

std::string WithSlash(const std::string& folder) {
    return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Creates a hidden file of unpredictable name in `folder`, exclusively; the name
// goes into `name`. Returns the descriptor, or -1 with errno.
int CreateHidden(const std::string& folder, std::string& name, int flags) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = folder + RandomName(kTempPrefix, kTempRandomLength, kTempSuffix);
        const int fd = ::open(name.c_str(), flags | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Whether unnamed files can be given a name later (linkat through /proc).
bool CanLinkUnnamed() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

// Links an unnamed file under `path`; false with errno on failure (EEXIST when taken).
bool LinkUnnamed(int fd, const std::string& path) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Whether an entry found in a folder is a leftover of a dead run of ours: a regular
// file of this user that no living command holds locked.
bool IsDeadLeftover(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    struct stat now {};
    const bool dead = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                      ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &now) == 0 &&
                      now.st_dev == st.st_dev && now.st_ino == st.st_ino;
    ::close(fd);
    return dead;
}

}  // namespace

namespace faults {
void Arm(const Fault& fault) { gFault = FaultState{true, fault, 0, 0, 0}; }
void Disarm() { gFault.armed = false; }
}  // namespace faults

bool LockInUse(int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; }

void RemoveLeftovers(const std::string& folder) {
    static std::mutex mutex;
    static std::set<std::string> done;
    {
        // By spelling: a folder named two ways is looked through twice, which is harmless.
        std::lock_guard<std::mutex> lock(mutex);
        if (!done.insert(folder).second) return;
    }
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return;
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/') prefix += '/';
    std::vector<std::string> found;
    while (const dirent* e = ::readdir(dir)) {
        if (IsTempName(e->d_name)) found.emplace_back(e->d_name);
    }
    ::closedir(dir);
    for (const std::string& name : found) {
        const std::string path = prefix + name;
        if (IsDeadLeftover(path)) ::unlink(path.c_str());
    }
}

DeferredSync::DeferredSync() { ++gDeferredSync; }
DeferredSync::~DeferredSync() { --gDeferredSync; }

void DeferredSync::Flush(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) ThrowIoError(folder);
    FaultAt(faults::Point::Sync, folder);
    const int rc = ::syncfs(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0) ThrowIoError(error, folder);
}

ReplacementFile::ReplacementFile(const std::string& path) {
    target_ = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target_ = real;
            std::free(real);
        }
    }
    folder_ = FolderOf(target_);
    if (::stat(target_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) ThrowIoError(EISDIR, path);
        if (!S_ISREG(st.st_mode)) {
            direct_ = true;
            const int fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd < 0) ThrowIoError(path);
            file_ = File(fd, path);
            return;
        }
        if (const int denied = WriteProtection(target_)) ThrowIoError(denied, path);
        replaces_ = true;
        mode_ = st.st_mode & 07777;
        owner_ = st.st_uid;
        group_ = st.st_gid;
    }
    RemoveLeftovers(folder_);
    const char* where = folder_.empty() ? "." : folder_.c_str();
    int fd = CanLinkUnnamed() ? ::open(where, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666) : -1;
    if (fd >= 0) {
        unnamed_ = true;
    } else if (!CanLinkUnnamed() || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
        fd = CreateHidden(folder_, temp_, O_WRONLY);
    }
    if (fd < 0) ThrowIoError(path);
    LockInUse(fd);
    file_ = File(fd, path);
}

ReplacementFile::~ReplacementFile() { Abandon(); }

void ReplacementFile::Abandon() noexcept {
    file_.Release();
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

void ReplacementFile::Commit() {
    if (!file_.IsOpen()) ThrowFileNotOpen(file_.Path());
    const std::string shown = file_.Path();
    if (direct_) {
        file_.Close();
        return;
    }
    const int fd = file_.fd_;
    try {
        if (replaces_) {
            // On the disk before the rename: a crash right after it cannot leave an
            // empty file where the old one was.
            if (gDeferredSync == 0) {
                FaultAt(faults::Point::Sync, shown);
                file_.Sync();
            }
            // The old file's owner where the system lets us (the superuser replacing
            // a user's file), and its permissions.
            static_cast<void>(::fchown(fd, owner_, group_));
            ::fchmod(fd, static_cast<mode_t>(mode_));
        }
        FaultAt(faults::Point::Rename, shown);
        if (unnamed_) {
            // A new file is linked under its name directly; an existing one is given
            // a hidden name first, as rename cannot take an unnamed file.
            bool linked = !replaces_ && LinkUnnamed(fd, target_);
            if (!linked && (replaces_ || errno == EEXIST)) {
                for (int attempt = 0; attempt < kNameAttempts && temp_.empty(); ++attempt) {
                    const std::string name = folder_ + RandomName(kTempPrefix, kTempRandomLength, kTempSuffix);
                    if (LinkUnnamed(fd, name)) temp_ = name;
                    else if (errno != EEXIST) break;
                }
                if (temp_.empty()) ThrowIoError(shown);
            } else if (!linked) {
                ThrowIoError(shown);
            }
        }
        if (!temp_.empty()) {
            if (std::rename(temp_.c_str(), target_.c_str()) != 0) ThrowIoError(shown);
            temp_.clear();
        }
        file_.Close();
    } catch (...) {
        Abandon();
        throw;
    }
}

File::File(File&& other) noexcept { *this = std::move(other); }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

File::~File() { Release(); }

void File::Release() noexcept {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
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

File File::CreateUnnamed(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        std::string path;
        fd = CreateHidden(WithSlash(folder), path, O_RDWR);
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
    const std::size_t allowed = WriteAllowance(bytes.size());
    std::size_t done = 0;
    while (done < allowed) {
        ssize_t w = ::write(fd_, bytes.data() + done, allowed - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            ThrowIoError(path_);
        }
        done += static_cast<std::size_t>(w);
    }
    if (gFault.armed && gFault.fault.point == faults::Point::Write) gFault.written += done;
    if (allowed < bytes.size()) Strike(path_);
}

void File::Write(const std::string& bytes) {
    Write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

void File::Seek(std::uint64_t offset) {
    if (fd_ < 0) ThrowFileNotOpen(path_);
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) ThrowIoError(path_);
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
}

void File::Sync() {
    if (fd_ < 0) ThrowFileNotOpen(path_);
    if (::fsync(fd_) != 0) ThrowIoError(path_);
}

void File::Close() {
    if (fd_ < 0) return;
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) ThrowIoError(path_);
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::uint64_t maxSize) {
    File f = File::OpenRead(path);
    std::uint64_t size = f.Size();
    if (size > maxSize) {
        throw DataError(ErrorCause::TooLarge, path,
                        "file is too large (" + std::to_string(size) + " bytes, at most " +
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

namespace {

// Whether a regular file holds exactly these bytes already. Unpacking into the folder
// of an earlier run meets mostly such files, and replacing one costs far more than
// reading it (a new inode, the old one's blocks freed).
bool HoldsExactly(const std::string& path, std::span<const std::uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) == bytes.size();
    std::vector<std::uint8_t> buffer(same ? std::min<std::size_t>(bytes.size(), 1 << 16) : 0);
    for (std::size_t at = 0; same && at < bytes.size();) {
        const ssize_t got = ::pread(fd, buffer.data(), std::min(buffer.size(), bytes.size() - at), static_cast<off_t>(at));
        same = got > 0 && std::equal(buffer.begin(), buffer.begin() + got, bytes.begin() + static_cast<std::ptrdiff_t>(at));
        at += got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    ::close(fd);
    return same;
}

}  // namespace

void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    // A write-protected file is refused even when it holds these bytes.
    if (const int denied = WriteProtection(path)) ThrowIoError(denied, path);
    if (HoldsExactly(path, bytes)) return;
    ReplacementFile f(path);
    f.Write(bytes);
    f.Commit();
}

void CopyFileReplacing(const std::string& src, const std::string& dst) {
    File in = File::OpenRead(src);
    ReplacementFile out(dst);
    std::vector<std::uint8_t> buffer(1 << 16);
    for (;;) {
        std::size_t n = in.Read(buffer.data(), buffer.size());
        if (n == 0) break;
        out.Write(std::span<const std::uint8_t>(buffer.data(), n));
    }
    in.Close();
    out.Commit();
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
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
