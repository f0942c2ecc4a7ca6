// Files, folders and listings, every failure raised as IoError.
//
// Names are byte strings; they go to the operating system unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavro {

// An open file descriptor, closed when the object goes away.
class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    ~File();

    // Opens an existing file for reading.
    static File OpenRead(const std::string& path);
    // Opens an existing file for reading and writing.
    static File OpenReadWrite(const std::string& path);
    // Opens an existing file for writing from its start, without truncating it.
    static File OpenWrite(const std::string& path);
    // Creates a file without a name in `folder`, for reading and writing scratch data:
    // it is gone when closed, also when the program stops. Where the file system has
    // no such files, a hidden name is made and removed at once. Errors name the folder.
    static File CreateUnnamed(const std::string& folder);

    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    const std::string& Path() const { return path_; }

    // Reads up to `len` bytes; returns how many were read (fewer at end of file).
    std::size_t Read(std::uint8_t* buffer, std::size_t len);
    // Reads up to `len` bytes at `offset`; short reads are not errors.
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t len);
    void Write(std::span<const std::uint8_t> bytes);
    void Write(const std::string& bytes);
    void Seek(std::uint64_t offset);
    std::uint64_t Size() const;
    // Cuts the file at `size` bytes.
    void Truncate(std::uint64_t size);
    // Flushes what was written to the disk (fsync).
    void Sync();
    // Closes the file, raising the error a delayed write reports on close.
    void Close();

private:
    friend class ReplacementFile;
    File(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    // Closes the file without reporting errors.
    void Release() noexcept;

    int fd_ = -1;
    std::string path_;
};

// New content for a file, which takes the file's place whole on Commit: a file that
// existed is afterwards its old content or its new one, whatever happens (a kill at
// any instant, a full disk, an I/O error), and no temporary file outlives the command.
//
// The content is written into a file created exclusively in the target's folder:
// without a name (O_TMPFILE) where the file system has such files, otherwise under an
// unpredictable hidden name (".tavro-" + 12 random characters + ".tmp", O_EXCL and
// O_NOFOLLOW), so that nothing planted under a temporary name receives a byte. On
// Commit a brand-new file is linked under its name; an existing one is flushed to the
// disk (fsync) and renamed over, keeping its permissions (and its owner, where the
// system allows). Until Commit the target is
// untouched; dropped without Commit, the new content goes.
//
// A symbolic link as the target is followed: the link stays and its target is
// replaced. A target that is no regular file (a device such as /dev/full) is written
// directly. An existing write-protected file (WriteProtection) is refused. Every error
// names the target as given, never the temporary file.
class ReplacementFile {
public:
    explicit ReplacementFile(const std::string& path);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    void Write(std::span<const std::uint8_t> bytes) { file_.Write(bytes); }
    void Commit();
    // Whether a file stood under the name before.
    bool Replaces() const { return replaces_; }

private:
    void Abandon() noexcept;

    std::string target_;  // the name replaced (a link's target)
    std::string folder_;  // its folder, ending with "/" ("" for the current one)
    File file_;           // reports errors under the name given
    std::string temp_;    // the hidden name of the new content, while it has one
    bool unnamed_ = false;
    bool direct_ = false;
    bool replaces_ = false;
    unsigned mode_ = 0;
    unsigned owner_ = 0;
    unsigned group_ = 0;
};

// While one exists, replacing a file skips its fsync; Flush then makes everything
// written so far durable in one call (syncfs). For commands that replace many files
// and mark their folder unfinished until the end (unpacking).
class DeferredSync {
public:
    DeferredSync();
    ~DeferredSync();
    DeferredSync(const DeferredSync&) = delete;
    DeferredSync& operator=(const DeferredSync&) = delete;
    // Flushes the file system that holds `folder`.
    void Flush(const std::string& folder);
};

// Removes what killed earlier runs left in `folder`: hidden temporary files
// (".tavro-*.tmp"), each only when it is ours and no running command holds it.
// Done once per folder and process; ReplacementFile calls it.
void RemoveLeftovers(const std::string& folder);


// A lock that marks a temporary file or folder as in use, for RemoveLeftovers.
// Returns false when the lock could not be taken.
bool LockInUse(int fd);

// The fault seam: a test arms one fault, which strikes every file written through
// File or ReplacementFile in this process.
namespace faults {
enum class Point {
    Write,   // when the bytes written since arming would pass `count`
    Sync,    // at the fsync of replacement number `count` (from 0)
    Rename,  // at the link or rename of replacement number `count` (from 0)
};
enum class Action {
    Fail,  // the operation fails with `code` (after the bytes up to the point)
    Stop,  // the process is killed there (SIGKILL), as by a crash
};
struct Fault {
    Point point = Point::Write;
    std::uint64_t count = 0;
    Action action = Action::Fail;
    int code = 28;  // ENOSPC: "Disk full"
};
void Arm(const Fault& fault);
void Disarm();
}  // namespace faults

// Reads a whole file. A file larger than maxSize raises DataError.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::uint64_t maxSize);
// Reads at most `len` bytes from the start of a file (fewer when it is shorter).
std::vector<std::uint8_t> ReadFilePrefix(const std::string& path, std::size_t len);
// Creates (or replaces whole, as ReplacementFile) a file holding exactly these bytes;
// a file that holds them already is left as it is.
void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes);
// Copies src to dst byte for byte, replacing dst whole.
void CopyFileReplacing(const std::string& src, const std::string& dst);

bool FileExists(const std::string& path);
// Whether two paths name the same existing file (device and inode), links followed.
bool SameFile(const std::string& a, const std::string& b);
// Why an existing file may not be written: the system's error code (EACCES, EROFS ...)
// when it refuses, EACCES when the file has no write permission bit at all (which
// stops even the superuser, as a read-only file does on other platforms), 0 when it
// may be written or does not exist.
int WriteProtection(const std::string& path);
bool IsDirectory(const std::string& path);
// Raises IoError ("File not found") unless the folder exists ("" is the current one).
void RequireFolder(const std::string& folder);
// Removes a file; returns false when it could not be removed (not an error here).
bool RemoveFile(const std::string& path);
// Creates one folder; returns false when it exists or cannot be made.
bool MakeFolder(const std::string& path);
// Removes an empty folder; returns false when it could not be removed.
bool RemoveFolder(const std::string& path);

// The names of the regular files in a folder (links followed), hidden ones (a name
// starting with ".") included; no folders. Sorted by bytes, so that every run over
// the same folder sees the same order. A missing folder gives none.
std::vector<std::string> ListRegularFiles(const std::string& folder);
// The same without hidden files.
std::vector<std::string> ListPlainFiles(const std::string& folder);

}  // namespace tavro
