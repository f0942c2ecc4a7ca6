// Helpers shared by the fuzz harnesses: one scratch folder per process, byte files,
// and the rule for which exceptions are expected outcomes of hostile input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tavro::fuzz {

// A folder under the system's temporary folder, made on first use and removed with
// its content when the process ends. Ends with "/".
const std::string& ScratchDir();

// Creates (or replaces) a file holding exactly these bytes. Aborts when it cannot:
// the harness's own files must always be writable.
void PutFile(const std::string& path, const std::uint8_t* data, std::size_t size);
void PutFile(const std::string& path, const std::string& bytes);

// Removes everything inside `folder`, keeping the folder itself.
void EmptyFolder(const std::string& folder);
// Makes a folder and its parents; aborts when it cannot.
void MakeFolders(const std::string& folder);

// Runs `body`. IoError and DataError are expected outcomes of hostile input, and so
// is the "not built yet" of a part that has not landed; they are swallowed. Any other
// exception escapes and ends the run as a finding.
void Guarded(const std::function<void()>& body);

// Aborts with a message: a property the harness checks does not hold.
[[noreturn]] void Finding(const std::string& what);

// Decodes and encodes one small picture of every standard format once, so that the
// imaging library's one-time set-up (plugins, caches) happens before the first
// fuzzed input and is not mistaken for a leak of that input.
void WarmUpImaging();

}  // namespace tavro::fuzz
