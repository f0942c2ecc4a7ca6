// Helpers shared by the fuzz harnesses and the seed corpus: one scratch folder per
// process, files, the rule for which exceptions are expected outcomes of hostile
// input, and the folder the pack harness packs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tavro::fuzz {

// A folder under the system's temporary folder, made on first use and removed with
// its content when the process ends. Ends with "/".
const std::string& ScratchDir();

// Creates (or replaces) a file holding exactly these bytes, and makes a folder with
// its parents. Both abort when they cannot: the harness's own files must always work.
void PutFile(const std::string& path, const std::uint8_t* data, std::size_t size);
inline void PutFile(const std::string& path, const std::string& bytes) {
    PutFile(path, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}
void MakeFolders(const std::string& folder);
// Removes everything inside `folder`, keeping the folder itself.
void EmptyFolder(const std::string& folder);

// Runs `body`. IoError and DataError are expected outcomes of hostile input and are
// swallowed; any other exception escapes and ends the run as a finding.
void Guarded(const std::function<void()>& body);

// Aborts with a message: a property the harness checks does not hold.
[[noreturn]] void Finding(const std::string& what);

// Encodes and decodes one small picture of every standard format once, so that the
// imaging library's one-time set-up (plugins, caches) happens before the first
// fuzzed input and is not mistaken for a leak of that input.
void WarmUpImaging();

// The folder the pack harness packs, whose structure file is the input: a header
// text, icons/a.png and icons/b.bmp (32-bit with alpha), and raws/r(2x02).raw and
// raws/notes.txt, which packing carries as they are.
void MakePackFolder(const std::string& folder);

}  // namespace tavro::fuzz
