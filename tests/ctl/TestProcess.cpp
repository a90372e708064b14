#include "ctl/TestProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <cstdlib>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A pseudo-terminal pair: [0] the side read here, [1] the device the child writes to.
bool OpenTerminal(int fds[2]) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        return false;
    }
    const int device = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (device < 0) {
        return false;
    }
    termios raw{};
    ::tcgetattr(device, &raw);
    ::cfmakeraw(&raw); // the bytes as written, no "\r" added
    ::tcsetattr(device, TCSANOW, &raw);
    fds[0] = master;
    fds[1] = device;
    return true;
}

} // namespace

TestProcess::TestProcess(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env, bool errTerminal) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 ||
        !(errTerminal ? OpenTerminal(err) : ::pipe2(err, O_CLOEXEC) == 0)) {
        return;
    }
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        for (const auto& [name, value] : env) {
            ::setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    m_out = out[0];
    m_err = err[0];
}

TestProcess::~TestProcess() {
    if (m_pid > 0 && !m_ended) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0) {
        ::close(m_out);
    }
    if (m_err >= 0) {
        ::close(m_err);
    }
}

bool TestProcess::Pump(std::chrono::milliseconds timeout) {
    pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
    const int ready = ::poll(fds, 2, static_cast<int>(timeout.count()));
    if (ready <= 0) {
        return false;
    }
    bool got = false;
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? m_outBuffer : m_errBuffer).append(buffer, static_cast<std::size_t>(n));
                got = true;
            } else {
                ::close(i == 0 ? m_out : m_err);
                (i == 0 ? m_out : m_err) = -1;
            }
        }
    }
    return got;
}

std::optional<std::string> TestProcess::Line(std::string& buffer,
                                             std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto end = buffer.find('\n');
        if (end != std::string::npos) {
            std::string line = buffer.substr(0, end);
            buffer.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || (m_out < 0 && m_err < 0)) {
            return std::nullopt;
        }
        Pump(std::min(left, std::chrono::milliseconds(100)));
    }
}

std::optional<std::string> TestProcess::ReadLine(std::chrono::milliseconds timeout) {
    return Line(m_outBuffer, timeout);
}

std::optional<std::string> TestProcess::ReadErrLine(std::chrono::milliseconds timeout) {
    return Line(m_errBuffer, timeout);
}

int TestProcess::Reap(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!m_ended) {
        int status = 0;
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_ended = true;
            m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_ended = true;
            m_exitCode = -1;
            break;
        }
        if (m_out >= 0 || m_err >= 0) {
            Pump(std::chrono::milliseconds(20));
        } else {
            pollfd none{-1, 0, 0};
            ::poll(&none, 0, 5); // nothing left to read: look again shortly
        }
    }
    return m_exitCode;
}

int TestProcess::Stop(int signal, std::chrono::milliseconds timeout) {
    if (m_pid > 0 && !m_ended) {
        ::kill(m_pid, signal);
    }
    return Reap(timeout);
}

TestProcess::Result TestProcess::Finish(std::chrono::milliseconds timeout) {
    Result result;
    result.exitCode = Reap(timeout);
    // The process has ended: what is left in the pipes comes at once.
    const auto drainEnd = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((m_out >= 0 || m_err >= 0) && std::chrono::steady_clock::now() < drainEnd) {
        Pump(std::chrono::milliseconds(100));
    }
    result.out = m_outBuffer;
    result.err = m_errBuffer;
    return result;
}

TestProcess::Result TestProcess::Run(const std::vector<std::string>& argv,
                                     const std::map<std::string, std::string>& env,
                                     std::chrono::milliseconds timeout, bool errTerminal) {
    TestProcess process(argv, env, errTerminal);
    return process.Finish(timeout);
}
