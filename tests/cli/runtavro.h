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

// The sample archive kept in the repository.
std::string SampleArchive();

}  // namespace tavro::test
