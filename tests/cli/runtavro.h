// Running the built tavro program, and other commands, from the tests.
#pragma once

#include <string>
#include <vector>

namespace tavro::test {

struct RunResult {
    int exitCode = -1;  // 128 + the signal's number when the program was killed (a crash)
    std::string out;
    std::string err;
};

// A word for sh: single-quoted, any byte but NUL kept as it is.
std::string Quoted(const std::string& word);

// Runs a command line with sh, stdin empty, stdout and stderr captured.
RunResult RunShell(const std::string& command);

// Runs tavro with these arguments, stdout and stderr captured (neither a terminal).
RunResult RunTavro(const std::vector<std::string>& args);

// Runs tavro on a pseudo-terminal (through script(1)); `out` holds what it showed.
RunResult RunTavroOnTerminal(const std::vector<std::string>& args);

// Runs `script` with sh in a private mount namespace, with "$1"... = args and the
// tavro program as $TAVRO. Mounts made there vanish with it. Returns the exit code,
// or kNoMount when no namespace can be had here.
int RunInMountNamespace(const std::string& script, const std::vector<std::string>& args);

// The script's exit code when it could not set up its mount.
constexpr int kNoMount = 99;

// The sample archive kept in the repository.
std::string SampleArchive();

}  // namespace tavro::test
