#include "exporter/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ChildProcess {

namespace {

// Far more than a git command prints; the rest is dropped, not kept in memory.
constexpr std::size_t kMaxOutput = 1 << 20;

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> out;
    const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto& x : extra) {
            replaced = replaced || nameOf(x) == nameOf(entry);
        }
        if (!replaced) {
            out.push_back(entry);
        }
    }
    out.insert(out.end(), extra.begin(), extra.end());
    return out;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> out;
    for (auto& t : texts) {
        out.push_back(t.data());
    }
    out.push_back(nullptr);
    return out;
}

} // namespace

Result Run(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
           std::chrono::milliseconds limit) {
    Result result;
    if (argv.empty()) {
        result.error = "no program";
        return result;
    }
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.error = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The child starts with no signal blocked and the default handling of the signals this
    // program catches or ignores.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGTERM, SIGPIPE, SIGHUP, SIGCHLD}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> args = argv;
    std::vector<std::string> env = MergedEnvironment(environment);
    auto argPointers = Pointers(args);
    auto envPointers = Pointers(env);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0].c_str(), &actions, &attributes,
                                     argPointers.data(), envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        result.error = "cannot run " + args[0] + ": " + std::strerror(spawned);
        return result;
    }
    result.started = true;

    const auto deadline = std::chrono::steady_clock::now() + limit;
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd fd{pipeFds[0], POLLIN, 0};
        const int ready = poll(&fd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            continue; // the deadline is checked above
        }
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break; // every writer closed: the program ended (or closed its output)
        }
        if (result.output.size() < kMaxOutput) {
            result.output.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!result.timedOut && WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    if (result.timedOut) {
        result.error = args[0] + " did not finish within " + std::to_string(limit.count()) + " ms";
    }
    return result;
}

} // namespace ChildProcess
