#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

// The history's git repository, worked through the git program. Every command runs with the
// repository's own identity and without the user's or the system's git configuration, hooks
// or prompts, so the same commits come out on any machine and under any account.
class CGitRepository {
public:
    static constexpr const char* kAuthorName = "solvei-exporter";
    static constexpr const char* kAuthorEmail = "solvei-exporter@localhost";
    // A git command that takes longer has hung (a full disk on a network mount).
    static constexpr std::chrono::seconds kCommandLimit{60};

    enum class Outcome { Committed, Unchanged, Failed };

    explicit CGitRepository(std::string folder, std::string program = "git");

    // Makes the folder a repository when it is none yet and sets its identity. error: one line.
    bool Open(std::string& error);

    // Writes the files (name -> content) into the subfolder, replacing what was there, and
    // commits them with the message when they differ from the last commit.
    Outcome Commit(const std::string& subfolder, const std::map<std::string, std::string>& files,
                   const std::string& subject, const std::string& body, std::string& commit,
                   std::string& error);

    [[nodiscard]] const std::string& Folder() const { return m_folder; }

private:
    // Runs git with the arguments in the repository; false with error set when it fails.
    bool Git(const std::vector<std::string>& args, std::string& output, std::string& error,
             int* exitCode = nullptr);

    std::string m_folder;
    std::string m_program;
};
