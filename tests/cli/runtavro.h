// Running the built tavro program from the tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavro::test {

struct RunResult {
    int exitCode = -1;  // -1 when the program did not exit normally (a crash)
    std::string out;
    std::string err;
};

// Runs tavro with these arguments, stdout and stderr captured (neither a terminal).
RunResult RunTavro(const std::vector<std::string>& args);

// Runs tavro with stdout and stderr on a pseudo-terminal; `out` holds what it showed.
RunResult RunTavroOnTerminal(const std::vector<std::string>& args);

// Runs `script` with sh in a private mount namespace, with "$1"... = args and the
// tavro program as $TAVRO. Mounts made there vanish with it. Returns the exit code,
// or -2 when no namespace can be had here.
int RunInMountNamespace(const std::string& script, const std::vector<std::string>& args);

// The script's exit code when it could not set up its mount.
constexpr int kNoMount = 99;

// The sample archive kept in the repository.
std::string SampleArchive();

// Whether text holds part, showing the text when it does not.
::testing::AssertionResult Contains(const std::string& text, const std::string& part);

}  // namespace tavro::test
