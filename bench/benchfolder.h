// The folder a benchmark works in.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace tavro {

// A new folder named from `name`, with its trailing "/", in TAVRO_BENCH_DIR (which
// picks the file system, e.g. /dev/shm to leave the disk out) or else in the
// system's temporary folder.
inline std::string MakeBenchFolder(const std::string& name) {
    const char* base = std::getenv("TAVRO_BENCH_DIR");
    std::string tmpl = ((base != nullptr && *base != '\0') ? std::filesystem::path(base)
                                                            : std::filesystem::temp_directory_path()) /
                       (name + "-XXXXXX");
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return tmpl + "/";
}

}  // namespace tavro
