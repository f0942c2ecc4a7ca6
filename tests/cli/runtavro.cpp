#include "cli/runtavro.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "support/testsupport.h"

namespace tavro::test {

namespace {

std::vector<char*> Argv(const std::vector<std::string>& args, std::string& binary) {
    std::vector<char*> argv;
    argv.push_back(binary.data());
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

int ExitCodeOf(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Text(const std::string& path) {
    Bytes b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

}  // namespace

RunResult RunTavro(const std::vector<std::string>& args) {
    TempDir capture;
    const std::string outPath = capture / "out";
    const std::string errPath = capture / "err";
    std::string binary = TAVRO_BINARY;
    std::vector<char*> argv = Argv(args, binary);
    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0) ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }
    RunResult r;
    r.exitCode = ExitCodeOf(pid);
    r.out = Text(outPath);
    r.err = Text(errPath);
    return r;
}

RunResult RunTavroOnTerminal(const std::vector<std::string>& args) {
    std::string binary = TAVRO_BINARY;
    std::vector<char*> argv = Argv(args, binary);
    int master = -1;
    pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) throw std::runtime_error("forkpty failed");
    if (pid == 0) {
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }
    RunResult r;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0) {
            r.out.append(buf, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // EIO once the program has exited and closed the terminal
        }
    }
    ::close(master);
    r.exitCode = ExitCodeOf(pid);
    return r;
}

int RunInMountNamespace(const std::string& script, const std::vector<std::string>& args) {
    static const int usable = [] {
        // Root gets a mount namespace directly; others through a user namespace.
        const std::string probe = ::geteuid() == 0 ? "unshare -m true" : "unshare -rm true";
        return std::system((probe + " >/dev/null 2>&1").c_str()) == 0;
    }();
    if (!usable) return -2;
    std::vector<std::string> argv = {"unshare", ::geteuid() == 0 ? "-m" : "-rm", "sh", "-c", script, "sh"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        ::setenv("TAVRO", TAVRO_BINARY, 1);
        ::execvp("unshare", raw.data());
        ::_exit(127);
    }
    return ExitCodeOf(pid);
}

std::string SampleArchive() { return std::string(TAVRO_SOURCE_DIR) + "/examples/iconres.ezx"; }

::testing::AssertionResult Contains(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\" does not contain \"" << part << "\"";
}

}  // namespace tavro::test
