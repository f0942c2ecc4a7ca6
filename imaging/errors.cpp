#include "imaging/errors.h"

#include <cerrno>

namespace tavro {

Error::Error(ErrorCause cause, int code, std::string path, const std::string& message)
    : std::runtime_error(message), cause_(cause), code_(code), path_(std::move(path)) {}

IoError::IoError(int code, std::string path)
    : Error(ErrorCause::System, code, std::move(path), TextFor(code)) {}

std::string IoError::TextFor(int code) {
    switch (code) {
        case ENOENT:
        case ENOTDIR:
            return "File not found";
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return "File access denied";
        case ENOSPC:
        case EDQUOT:
            return "Disk full";
        case EBADF:
            return "File not open";
        default:
            return "I/O error " + std::to_string(code);
    }
}

bool IsAccessDenied(int code) { return code == EACCES || code == EPERM || code == EROFS; }

void ThrowIoError(const std::string& path) { throw IoError(errno, path); }

void ThrowIoError(int code, const std::string& path) { throw IoError(code, path); }

void ThrowFileNotOpen(const std::string& path) { throw IoError(EBADF, path); }

DataError::DataError(ErrorCause cause, std::string path, const std::string& message)
    : Error(cause, 0, std::move(path), message) {}

}  // namespace tavro
