// Running the built tavro program, and other commands, from the tests.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "support/testsupport.h"

namespace tavro::test {

struct RunResult {
    int exitCode = -1;  // 128 + the signal's number when the program was killed (a crash)
    std::string out;
    std::string err;
    bool operator==(const RunResult&) const = default;
};
inline void PrintTo(const RunResult& r, std::ostream* os) {
    *os << "exit " << r.exitCode << ", stdout \"" << r.out << "\", stderr \"" << r.err << "\"";
}
// The result a run should have: its exit code and all it printed.
inline RunResult Exited(int code, const std::string& out = "", const std::string& err = "") {
    return {code, out, err};
}

// A word for sh: single-quoted, any byte but NUL kept as it is.
inline std::string Quoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a command line with sh, stdin empty, stdout and stderr captured.
inline RunResult RunShell(const std::string& command) {
    TempDir capture;
    const int status = std::system(
        (command + " </dev/null >" + Quoted(capture / "out") + " 2>" + Quoted(capture / "err")).c_str());
    return RunResult{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(capture / "out"),
                     ReadText(capture / "err")};
}

// The tavro program with these arguments, as a command line for sh.
inline std::string TavroCommand(const std::vector<std::string>& args) {
    std::string command = Quoted(TAVRO_BINARY);
    for (const std::string& a : args) command += " " + Quoted(a);
    return command;
}

// Runs tavro with these arguments, stdout and stderr captured (neither a terminal).
inline RunResult RunTavro(const std::vector<std::string>& args) { return RunShell(TavroCommand(args)); }

// Runs tavro on a pseudo-terminal (through script(1)); `out` holds what it showed.
inline RunResult RunTavroOnTerminal(const std::vector<std::string>& args) {
    return RunShell("script -qec " + Quoted(TavroCommand(args)) + " /dev/null");
}

// The script's exit code when it could not set up its mount.
constexpr int kNoMount = 99;

// Runs `script` with sh in a private mount namespace, with "$1"... = args and the
// tavro program as $TAVRO. Mounts made there vanish with it. Returns the exit code,
// or kNoMount when no namespace can be had here.
inline int RunInMountNamespace(const std::string& script, const std::vector<std::string>& args) {
    // Root gets a mount namespace directly; others through a user namespace.
    const std::string unshare = ::geteuid() == 0 ? "unshare -m " : "unshare -rm ";
    static const bool usable = RunShell(unshare + "true").exitCode == 0;
    if (!usable) return kNoMount;
    std::string command = "TAVRO=" + Quoted(TAVRO_BINARY) + " " + unshare + "sh -c " + Quoted(script) + " sh";
    for (const std::string& a : args) command += " " + Quoted(a);
    return RunShell(command).exitCode;
}

// The sample archive kept in the repository.
inline std::string SampleArchive() { return std::string(TAVRO_SOURCE_DIR) + "/examples/iconres.ezx"; }

}  // namespace tavro::test
