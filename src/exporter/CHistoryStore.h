#pragma once

#include <map>
#include <string>
#include <vector>

#include "exporter/CGitRepository.h"
#include "exporter/CHistoryLock.h"
#include "snapshot/Snapshot.h"

// The history folder: one subfolder per processor holding its latest snapshot
// (snapshot.json) and its plain-text rendering (parameters.txt), committed whenever they
// changed, with the changes as the commit message. What was stored last is compared by
// meaning, so a snapshot that only differs in when it was taken writes nothing.
// One thread at a time: the exporter gives it a thread of its own.
class CHistoryStore {
public:
    static constexpr const char* kSnapshotFile = "snapshot.json";
    static constexpr const char* kParametersFile = "parameters.txt";

    struct Outcome {
        enum class Kind { Committed, Unchanged, Failed };
        Kind kind = Kind::Failed;
        bool first = false; // the processor's first snapshot in the folder
        std::string subject;
        std::vector<std::string> changes;
        std::string commit;
        std::string error;
    };

    explicit CHistoryStore(std::string folder, std::string git = "git");

    // Takes the folder's lock (see CHistoryLock); done again by Store while it fails.
    CHistoryLock::Outcome Lock(std::string& error);
    Outcome Store(const std::string& processor, const Snapshot& snapshot);

private:
    bool Ready(std::string& error);

    std::string m_folder;
    CHistoryLock m_lock;
    CGitRepository m_repository;
    bool m_open = false;
    std::map<std::string, Snapshot> m_stored; // by subfolder: what its files hold
};
