#pragma once

#include <chrono>
#include <string>
#include <vector>

// Runs a program to its end and collects what it printed (standard output and error in one),
// without a shell: arguments go to it as they are. A program that runs longer than the limit
// is killed. Safe to call from any thread.
namespace ChildProcess {

struct Result {
    bool started = false; // false: the program could not be run (error says why)
    int exitCode = -1;    // -1 when it did not exit by itself (killed, timed out)
    bool timedOut = false;
    std::string output;
    std::string error;

    [[nodiscard]] bool Ok() const { return started && exitCode == 0; }
};

// environment: NAME=VALUE entries added to (or replacing in) this process's environment.
[[nodiscard]] Result Run(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment,
                         std::chrono::milliseconds limit);

} // namespace ChildProcess
