// The two kinds of failure the core raises.
//
// IoError: a file operation failed at the operating-system level. It carries the
// system's error code (errno) and the file's path; its text is the short form users
// see ("File not found", "File access denied", "Disk full", "File not open",
// otherwise "I/O error N").
//
// DataError: the bytes of a file cannot be used (a picture too large for the
// handset's work areas, an archive beyond its limits, an unsafe entry name). It
// names the file and says what is wrong.
#pragma once

#include <stdexcept>
#include <string>

namespace tavro {

class IoError : public std::runtime_error {
public:
    IoError(int code, std::string path);

    int Code() const { return code_; }
    const std::string& Path() const { return path_; }

    // The short text for an error code, as shown to users.
    static std::string TextFor(int code);

private:
    int code_;
    std::string path_;
};

// Whether an error code is the system refusing access (EACCES, EPERM, EROFS): the
// file or folder may not be written, as opposed to being missing or full.
bool IsAccessDenied(int code);

// Throws IoError with the current errno for path.
[[noreturn]] void ThrowIoError(const std::string& path);
[[noreturn]] void ThrowIoError(int code, const std::string& path);

// The error for using a file that is not open (a raw copy that could not be
// created, a converted file that vanished before packing copied it).
[[noreturn]] void ThrowFileNotOpen(const std::string& path);

class DataError : public std::runtime_error {
public:
    DataError(std::string path, const std::string& message);

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace tavro
