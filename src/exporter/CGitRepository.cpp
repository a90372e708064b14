#include "exporter/CGitRepository.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include "exporter/CHistoryLock.h"
#include "exporter/ChildProcess.h"

namespace {

std::string FirstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    return line.empty() ? text : line;
}

// Writes beside the target and renames over it, so a crash never leaves half a file.
bool WriteFile(const std::filesystem::path& path, const std::string& content, std::string& error) {
    const auto temporary = path.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << content;
        out.flush();
        if (!out) {
            error = "cannot write " + temporary;
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        error = "cannot write " + path.string() + ": " + ec.message();
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

} // namespace

namespace {

// Absolute, so that git's -C and the paths in its environment name the same folder.
std::string Absolute(const std::string& folder) {
    std::error_code ec;
    const auto path = std::filesystem::absolute(folder, ec);
    return ec ? folder : path.lexically_normal().string();
}

} // namespace

CGitRepository::CGitRepository(std::string folder, std::string program)
    : m_folder(Absolute(folder)), m_program(std::move(program)) {}

bool CGitRepository::Git(const std::vector<std::string>& args, std::string& output,
                         std::string& error, int* exitCode) {
    std::vector<std::string> argv = {m_program,
                                     "-C",
                                     m_folder,
                                     "-c",
                                     "core.hooksPath=/dev/null",
                                     "-c",
                                     "commit.gpgSign=false",
                                     "-c",
                                     std::string("user.name=") + kAuthorName,
                                     "-c",
                                     std::string("user.email=") + kAuthorEmail};
    argv.insert(argv.end(), args.begin(), args.end());
    // Neither the system's nor the account's configuration, no pager, no prompt, fixed words.
    // The repository named outright: git never looks for one in the folders above, so a history
    // folder whose repository went missing is never mistaken for an enclosing one.
    const std::vector<std::string> environment = {
        "GIT_DIR=" + (std::filesystem::path(m_folder) / ".git").string(),
        "GIT_WORK_TREE=" + m_folder,
        "GIT_CONFIG_NOSYSTEM=1",
        "GIT_CONFIG_GLOBAL=/dev/null",
        "GIT_TERMINAL_PROMPT=0",
        "GIT_PAGER=cat",
        "LC_ALL=C",
        std::string("GIT_AUTHOR_NAME=") + kAuthorName,
        std::string("GIT_AUTHOR_EMAIL=") + kAuthorEmail,
        std::string("GIT_COMMITTER_NAME=") + kAuthorName,
        std::string("GIT_COMMITTER_EMAIL=") + kAuthorEmail,
    };
    const auto result = ChildProcess::Run(argv, environment, kCommandLimit);
    output = result.output;
    if (exitCode != nullptr) {
        *exitCode = result.exitCode;
    }
    if (!result.started || result.timedOut) {
        error = result.error;
        return false;
    }
    if (result.exitCode != 0) {
        error = "git " + (args.empty() ? std::string() : args.front()) + " failed (exit " +
                std::to_string(result.exitCode) + "): " + FirstLine(result.output);
        return false;
    }
    return true;
}

bool CGitRepository::Open(std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(m_folder, ec);
    if (ec) {
        error = "cannot create history folder " + m_folder + ": " + ec.message();
        return false;
    }
    std::string output;
    const auto dotGit = std::filesystem::path(m_folder) / ".git";
    if (!std::filesystem::exists(dotGit, ec)) {
        if (!Git({"init", "-q"}, output, error)) {
            return false;
        }
    }
    // Set in the repository itself too, so that an engineer committing there by hand (a note,
    // a revert) does not need an identity of their own.
    if (!Git({"config", "user.name", kAuthorName}, output, error) ||
        !Git({"config", "user.email", kAuthorEmail}, output, error)) {
        return false;
    }
    // The lock file is the exporter's, not history.
    const auto exclude = dotGit / "info" / "exclude";
    std::string excluded;
    {
        std::ifstream in(exclude);
        excluded.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::string line = std::string("/") + CHistoryLock::kFileName;
    if (excluded.find(line) == std::string::npos) {
        std::filesystem::create_directories(exclude.parent_path(), ec);
        std::ofstream out(exclude, std::ios::app);
        out << line << "\n";
        if (!out) {
            error = "cannot write " + exclude.string();
            return false;
        }
    }
    return true;
}

CGitRepository::Outcome CGitRepository::Commit(const std::string& subfolder,
                                               const std::map<std::string, std::string>& files,
                                               const std::string& subject, const std::string& body,
                                               std::string& commit, std::string& error) {
    const auto folder = std::filesystem::path(m_folder) / subfolder;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return Outcome::Failed;
    }
    for (const auto& [name, content] : files) {
        if (!WriteFile(folder / name, content, error)) {
            return Outcome::Failed;
        }
    }
    std::string output;
    if (!Git({"add", "-A", "--", subfolder}, output, error)) {
        return Outcome::Failed;
    }
    int exitCode = 0;
    std::string ignored;
    if (Git({"diff", "--cached", "--quiet", "--", subfolder}, output, ignored, &exitCode)) {
        return Outcome::Unchanged;
    }
    if (exitCode != 1) {
        error = ignored;
        return Outcome::Failed;
    }
    // Only this processor's folder: another's staged files wait for their own commit.
    if (!Git({"commit", "-q", "-m", subject, "-m", body, "--", subfolder}, output, error)) {
        return Outcome::Failed;
    }
    if (!Git({"rev-parse", "HEAD"}, output, error)) {
        return Outcome::Failed;
    }
    commit = FirstLine(output);
    return Outcome::Committed;
}
