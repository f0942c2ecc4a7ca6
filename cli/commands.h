// The subcommands of the command line, each a thin layer over the core.
//
// Each returns the exit code for an outcome it reports itself (0, or 1 when nothing
// could be done); input/output and data errors travel up as IoError and DataError,
// usage errors as UsageError, for the caller to print.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "imaging/batch.h"
#include "imaging/conversion.h"

namespace tavro::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// A command line that names no valid request; the message says why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct UnpackOptions {
    std::string archive;
    std::string folder;
    TTargetFormat format = tfBmp;
    bool list = false;
};

struct PackOptions {
    std::string folder;
    std::string archive;
};

struct ConvertOptions {
    std::string source;
    std::string target;
    std::optional<TTargetFormat> format;      // decoding: the standard format to write
    std::optional<std::uint8_t> handsetMode;  // encoding: a TPictureKind value, 0 to 4
};

struct ConvertAllOptions {
    std::string sourceFolder;
    std::string targetFolder;
    BatchDirection direction = BatchDirection::ToStandard;
    TTargetFormat format = tfBmp;
};

struct InfoOptions {
    std::string file;
    TTargetFormat format = tfBmp;  // decides the type word "GIF" or "PNG"
};

int RunUnpack(const UnpackOptions& options);
int RunPack(const PackOptions& options);
int RunConvert(const ConvertOptions& options);
int RunConvertAll(const ConvertAllOptions& options);
int RunInfo(const InfoOptions& options);

// The standard format an extension names (".bmp", ".png", ".gif", ".jpg", ".jpeg",
// in any case), or none.
std::optional<TTargetFormat> FormatForExtension(const std::string& path);

}  // namespace tavro::cli
