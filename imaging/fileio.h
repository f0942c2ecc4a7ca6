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
    // Creates a file, or replaces the content of one that exists. An existing file is
    // written over in place and cut to the length written when it is closed (or given
    // up after a failure), rather than truncated on opening: on ext4 truncating a file,
    // or unlinking it and making a new one, costs tens of times as much as writing over
    // the blocks it already has, and converting or unpacking into the folder of an
    // earlier run rewrites every file. A file with other hard links changes under all
    // its names.
    // An existing file that is write-protected (WriteProtection) is refused.
    static File Create(const std::string& path);

    // Creates a file without a name in `folder`, for reading and writing scratch data:
    // it is gone when closed, also when the program stops. Where the file system has
    // no such files, a hidden name is made and removed at once. Errors name the folder.
    static File CreateUnnamed(const std::string& folder);

    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

    // Reads up to `len` bytes; returns how many were read (fewer at end of file).
    std::size_t Read(std::uint8_t* buffer, std::size_t len);
    // Reads up to `len` bytes at `offset`; short reads are not errors.
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t len);
    void Write(std::span<const std::uint8_t> bytes);
    void Write(const std::string& bytes);
    void Seek(std::uint64_t offset);
    std::uint64_t Size() const;
    // Cuts the file at `size` bytes; what Create left of the old content goes too.
    void Truncate(std::uint64_t size);
    // Flushes what was written to the disk (fsync).
    void Sync();
    // Closes the file, raising the error a delayed write reports on close.
    void Close();

private:
    File(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    // Cuts off what is left of the old content of a file from Create; false on failure.
    bool CutStaleContent();
    // Closes the file without reporting errors.
    void Release() noexcept;

    int fd_ = -1;
    std::string path_;
    // For a file from Create that held bytes: where the old content ends, and the
    // position and furthest end of what was written since.
    std::uint64_t staleEnd_ = 0;
    std::uint64_t position_ = 0;
    std::uint64_t writtenEnd_ = 0;
};

// Reads a whole file. A file larger than maxSize raises DataError.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::uint64_t maxSize);
// Reads at most `len` bytes from the start of a file (fewer when it is shorter).
std::vector<std::uint8_t> ReadFilePrefix(const std::string& path, std::size_t len);
// Creates (or replaces) a file holding exactly these bytes.
void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes);
// Copies src to dst byte for byte, replacing dst.
void CopyFileReplacing(const std::string& src, const std::string& dst);

bool FileExists(const std::string& path);
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
