#include "app/SnapshotShelf.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include <QDateTime>
#include <QString>

#include "snapshot/SnapshotEncoding.h"
#include "snapshot/SnapshotFile.h"

namespace {
constexpr std::size_t kMaxName = 80;
constexpr std::size_t kDigestChars = 8;
const char* const kStampFormat = "yyyyMMdd'T'HHmmsszzz'Z'";
constexpr int kStampChars = 19; // "20261211T043015123Z"

bool Kept(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}
} // namespace

std::string SnapshotShelf::SafeName(const std::string& processor) {
    std::string safe;
    bool changed = processor.empty();
    for (char c : processor) {
        safe.push_back(Kept(c) ? c : '_');
        changed = changed || !Kept(c);
    }
    // A name of dots alone would name this folder or its parent; a leading dot would hide it.
    if (!safe.empty() && safe.front() == '.') {
        safe.front() = '_';
        changed = true;
    }
    const std::size_t room = kMaxName - kDigestChars - 1;
    if (safe.size() > room) {
        safe.resize(room);
        changed = true;
    }
    if (changed) {
        safe += (safe.empty() ? "" : "-") +
                SnapshotEncoding::Sha256(std::string_view(processor)).substr(0, kDigestChars);
    }
    return safe;
}

std::filesystem::path SnapshotShelf::Folder() const {
    return root_ / SafeName(processor_);
}

std::vector<SnapshotShelf::Entry> SnapshotShelf::List() const {
    std::vector<Entry> entries;
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(Folder(), ec)) {
        const std::filesystem::path& file = item.path();
        if (file.extension() != ".json") {
            continue;
        }
        const QString stem = QString::fromStdString(file.stem().string());
        QDateTime at =
            QDateTime::fromString(stem.left(kStampChars), QString::fromLatin1(kStampFormat));
        if (!at.isValid()) {
            continue;
        }
        at.setTimeSpec(Qt::UTC);
        Entry entry;
        entry.file = file;
        entry.when = at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
        std::ifstream note(std::filesystem::path(file).replace_extension(".note"));
        std::getline(note, entry.note);
        entries.push_back(std::move(entry));
    }
    // The stamps sort as the times they name.
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.file.stem() > b.file.stem(); });
    return entries;
}

std::optional<SnapshotShelf::Entry>
SnapshotShelf::Keep(const Snapshot& snapshot, const std::string& note, std::string& error) const {
    std::error_code ec;
    std::filesystem::create_directories(Folder(), ec);
    if (ec) {
        error = "Cannot make the folder " + Folder().string() + ": " + ec.message();
        return std::nullopt;
    }
    const std::string stamp =
        QDateTime::currentDateTimeUtc().toString(QString::fromLatin1(kStampFormat)).toStdString();
    std::filesystem::path file = Folder() / (stamp + ".json");
    for (int n = 2; std::filesystem::exists(file); ++n) {
        file = Folder() / (stamp + "-" + std::to_string(n) + ".json");
    }
    if (!SnapshotFile::Save(snapshot, file.string(), error)) {
        return std::nullopt;
    }
    // One line: a note typed over several lines keeps its words.
    std::string line = note;
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::replace(line.begin(), line.end(), '\r', ' ');
    if (!line.empty()) {
        std::ofstream(std::filesystem::path(file).replace_extension(".note")) << line << "\n";
    }
    for (Entry& entry : List()) {
        if (entry.file == file) {
            return entry;
        }
    }
    error = "The snapshot " + file.string() + " was written but cannot be listed";
    return std::nullopt;
}
