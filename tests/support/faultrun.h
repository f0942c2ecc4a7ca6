// Running an operation with a fault armed in the file layer, in a child process so
// that a fault that stops the process (as a kill would) leaves the test running.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "imaging/fileio.h"
#include "support/testsupport.h"

namespace tavro::test {

enum class FaultEnd { Finished, Failed, Killed };

// Runs `operation` in a child with `fault` armed: Finished when it returned, Failed
// when it raised, Killed when the fault stopped it.
inline FaultEnd RunWithFault(const faults::Fault& fault, const std::function<void()>& operation) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        faults::Arm(fault);
        int code = 0;
        try {
            operation();
        } catch (...) {
            code = 1;
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) return FaultEnd::Killed;
    return WEXITSTATUS(status) == 0 ? FaultEnd::Finished : FaultEnd::Failed;
}

// The faults every command is put through: failures (a full disk) and kills, at the
// first byte, half way through what it writes, at each point of the first and of a
// later replacement.
inline std::vector<faults::Fault> FaultTable(std::uint64_t bytesWritten) {
    using faults::Action;
    using faults::Point;
    std::vector<faults::Fault> table;
    for (Action action : {Action::Fail, Action::Stop}) {
        for (std::uint64_t at : {std::uint64_t{0}, bytesWritten / 2, bytesWritten - 1}) {
            table.push_back({Point::Write, at, action});
        }
        for (Point point : {Point::Sync, Point::Rename}) {
            for (std::uint64_t n : {0, 1}) table.push_back({point, n, action});
        }
    }
    return table;
}

inline std::string Describe(const faults::Fault& f) {
    return std::string(f.action == faults::Action::Stop ? "kill" : "fail") + " at " +
           std::string("write sync rename").substr(static_cast<int>(f.point) * 6, 6) + std::to_string(f.count);
}

// The hidden temporary files left in a folder and its subfolders once the next run
// in each has removed what it finds.
inline std::vector<std::string> TempFilesAfterNextRun(const std::string& folder) {
    std::vector<std::string> found;
    RemoveLeftovers(folder);
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
        if (e.is_directory()) RemoveLeftovers(e.path().string() + "/");
    }
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
        if (e.path().filename().string().rfind(".tavro-", 0) == 0) found.push_back(e.path());
    }
    return found;
}

// Every regular file under a folder (paths relative to it) with its content.
inline Files TreeFiles(const std::string& folder) {
    Files files;
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder, ec)) {
        if (e.is_regular_file()) files.emplace_back(e.path().lexically_relative(folder), ReadBytes(e.path()));
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Every file of `before` (path, content) now holds its old content or `after`'s.
inline ::testing::AssertionResult OldOrNew(const Files& before, const Files& after, const std::string& folder) {
    for (const auto& [name, old] : before) {
        if (!Exists(folder + name)) return ::testing::AssertionFailure() << name << " is gone";
        const Bytes now = ReadBytes(folder + name);
        if (now == old) continue;
        const auto it = std::find_if(after.begin(), after.end(), [&](const auto& f) { return f.first == name; });
        if (it == after.end() || now != it->second) return ::testing::AssertionFailure() << name << " is mixed";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace tavro::test
