#include "exporter/CHistoryStore.h"

#include <filesystem>

#include "exporter/HistoryText.h"
#include "snapshot/SnapshotFile.h"

CHistoryStore::CHistoryStore(std::string folder, std::string git)
    : m_folder(folder), m_repository(std::move(folder), std::move(git)) {}

CHistoryLock::Outcome CHistoryStore::Lock(std::string& error) {
    return m_lock.Take(m_folder, error);
}

bool CHistoryStore::Ready(std::string& error) {
    if (!m_lock.Held() && m_lock.Take(m_folder, error) != CHistoryLock::Outcome::Held) {
        return false;
    }
    if (!m_open) {
        m_open = m_repository.Open(error);
    }
    return m_open;
}

CHistoryStore::Outcome CHistoryStore::Store(const std::string& processor,
                                            const Snapshot& snapshot) {
    Outcome outcome;
    if (!Ready(outcome.error)) {
        return outcome;
    }
    const std::string folder = HistoryText::FolderName(processor);
    auto stored = m_stored.find(folder);
    if (stored == m_stored.end()) {
        // What an earlier run left: compared with, so a restart commits nothing new.
        const auto path = std::filesystem::path(m_folder) / folder / kSnapshotFile;
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) {
            std::string error;
            if (auto previous = SnapshotFile::Load(path.string(), error)) {
                stored = m_stored.emplace(folder, std::move(*previous)).first;
            }
            // An unreadable file is replaced by this snapshot, as a first one.
        }
    }
    outcome.first = stored == m_stored.end();
    if (!outcome.first) {
        outcome.changes = HistoryText::Changes(stored->second, snapshot);
        if (outcome.changes.empty()) {
            outcome.kind = Outcome::Kind::Unchanged;
            return outcome;
        }
    }
    const auto message = HistoryText::CommitMessage(processor, snapshot, outcome.changes);
    outcome.subject = message.subject;
    const std::map<std::string, std::string> files = {
        {kSnapshotFile, SnapshotFile::Write(snapshot)},
        {kParametersFile, HistoryText::ParametersText(snapshot)},
    };
    switch (m_repository.Commit(folder, files, message.subject, message.body, outcome.commit,
                                outcome.error)) {
    case CGitRepository::Outcome::Committed:
        outcome.kind = Outcome::Kind::Committed;
        break;
    case CGitRepository::Outcome::Unchanged:
        outcome.kind = Outcome::Kind::Unchanged;
        break;
    case CGitRepository::Outcome::Failed:
        // The repository may have gone (a folder removed under us): opened again next time.
        m_open = false;
        return outcome;
    }
    m_stored[folder] = snapshot;
    return outcome;
}
