#include "cli/runtavro.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/testsupport.h"

namespace tavro::test {

namespace {

std::string Command(const std::vector<std::string>& args) {
    std::string command = Quoted(TAVRO_BINARY);
    for (const std::string& a : args) command += " " + Quoted(a);
    return command;
}

}  // namespace

std::string Quoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

RunResult RunShell(const std::string& command) {
    TempDir capture;
    const int status = std::system(
        (command + " </dev/null >" + Quoted(capture / "out") + " 2>" + Quoted(capture / "err")).c_str());
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return RunResult{code, ReadText(capture / "out"), ReadText(capture / "err")};
}

RunResult RunTavro(const std::vector<std::string>& args) { return RunShell(Command(args)); }

RunResult RunTavroOnTerminal(const std::vector<std::string>& args) {
    return RunShell("script -qec " + Quoted(Command(args)) + " /dev/null");
}

int RunInMountNamespace(const std::string& script, const std::vector<std::string>& args) {
    // Root gets a mount namespace directly; others through a user namespace.
    const std::string unshare = ::geteuid() == 0 ? "unshare -m " : "unshare -rm ";
    static const bool usable = RunShell(unshare + "true").exitCode == 0;
    if (!usable) return kNoMount;
    std::string command = "TAVRO=" + Quoted(TAVRO_BINARY) + " " + unshare + "sh -c " + Quoted(script) + " sh";
    for (const std::string& a : args) command += " " + Quoted(a);
    return RunShell(command).exitCode;
}

std::string SampleArchive() { return std::string(TAVRO_SOURCE_DIR) + "/examples/iconres.ezx"; }

}  // namespace tavro::test
