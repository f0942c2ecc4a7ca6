// Helpers shared by the fuzz harnesses and the seed corpus: one scratch folder per
// process, the rule for which exceptions are expected outcomes of hostile input, and
// the folder the pack harness packs. A harness's own file operations are not guarded:
// when one fails, the exception ends the run.
#pragma once

#include <functional>
#include <string>

namespace tavro::fuzz {

// A folder under the system's temporary folder, made on first use and removed with
// its content when the process ends. Ends with "/".
const std::string& ScratchDir();

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
