#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// A child process with its standard output and error on pipes (or its error on a
// pseudo-terminal, as a person at a terminal would see it), for end-to-end tests.
// Every wait has a deadline; a process still running when the object goes is killed.
class TestProcess {
public:
    struct Result {
        int exitCode = -1; // -1: did not end before the deadline (it was killed)
        std::string out;
        std::string err;
    };

    // errTerminal: standard error is a pseudo-terminal instead of a pipe.
    TestProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                bool errTerminal = false);
    ~TestProcess();
    TestProcess(const TestProcess&) = delete;
    TestProcess& operator=(const TestProcess&) = delete;

    // The next line of standard output, or nullopt at the deadline or end of output.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // The same for standard error.
    std::optional<std::string> ReadErrLine(std::chrono::milliseconds timeout);
    // Sends the signal and waits for the end; returns the exit code (-1 when it hung).
    int Stop(int signal, std::chrono::milliseconds timeout);
    // Collects all output until the process ends.
    Result Finish(std::chrono::milliseconds timeout);

    [[nodiscard]] pid_t Pid() const { return m_pid; }

    static Result Run(const std::vector<std::string>& argv,
                      const std::map<std::string, std::string>& env,
                      std::chrono::milliseconds timeout = std::chrono::seconds(60),
                      bool errTerminal = false);

private:
    bool Pump(std::chrono::milliseconds timeout);
    std::optional<std::string> Line(std::string& buffer, std::chrono::milliseconds timeout);
    int Reap(std::chrono::milliseconds timeout);

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    std::string m_outBuffer;
    std::string m_errBuffer;
    int m_exitCode = -1;
    bool m_ended = false;
};
