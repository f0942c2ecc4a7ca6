// The one error the core raises: Error, with its cause, the file it concerns and the
// text users see. Its two kinds:
//
// IoError: a file operation failed at the operating-system level. Its cause is
// System, its code the system's error code (errno); its text is the short form users
// see ("File not found", "File access denied", "Disk full", "File not open",
// otherwise "I/O error N").
//
// DataError: the bytes of a file cannot be used (a picture too large for the
// handset's work areas, an archive beyond its limits, an unsafe entry name). Its
// cause says which way; its text names what is wrong.
//
// A front end catches Error in one place and shows the path and the text; tests
// compare the cause where the wording is not the point.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tavro {

enum class ErrorCause : std::uint8_t {
    System,        // a file operation failed: Code() holds the system's error code
    Truncated,     // the bytes end before what they announce
    TooLarge,      // more bytes or pixels than a work area or a format holds
    BadSignature,  // the bytes are not what their place asks for (no archive header, a kind that does not
                   // exist)
    UnsafeName,    // a name that would lead out of its folder, or that the archive cannot hold
    Undecodable,   // a picture that cannot be decoded or encoded
    BeyondLimit,   // a count, a size or a position outside what the format allows
    Refused,       // a request that would lose the user's data or cannot be carried out
};

class Error : public std::runtime_error {
public:
    Error(ErrorCause cause, int code, std::string path, const std::string& message);

    ErrorCause Cause() const { return cause_; }
    // The system's error code for ErrorCause::System, otherwise 0.
    int Code() const { return code_; }
    // The file or folder concerned; empty when there is none.
    const std::string& Path() const { return path_; }

private:
    ErrorCause cause_;
    int code_;
    std::string path_;
};

class IoError : public Error {
public:
    IoError(int code, std::string path);

    // The short text for an error code, as shown to users.
    static std::string TextFor(int code);
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

class DataError : public Error {
public:
    DataError(ErrorCause cause, std::string path, const std::string& message);
};

}  // namespace tavro
