#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "ctl/CCtlOptions.h"
#include "ctl/CLinkSession.h"
#include "link/CConnectionSettings.h"
#include "snapshot/ISnapshotLink.h"
#include "snapshot/Snapshot.h"

// solvei-ctl's snapshot commands: snapshot FILE, diff A B (files or "live") and
// restore FILE. Exit codes are the other commands', except that diff gives 0 when A and B are
// the same and 1 when they differ, as diff does.
class CSnapshotCommands {
public:
    // The word that stands for the processor itself in place of a file.
    static constexpr const char* kLive = "live";
    // diff's exit codes.
    static constexpr int kSame = 0;
    static constexpr int kDiffer = 1;

    // in and inTerminal: where a person answers the restore's question, and whether one can.
    CSnapshotCommands(const CCtlOptions& options, CConnectionSettings& settings, std::ostream& out,
                      std::ostream& err, bool errTerminal, std::istream& in, bool inTerminal);

    [[nodiscard]] static bool Handles(const std::string& command);
    int Run();

private:
    using Work = std::function<int(CLinkSession&, ISnapshotLink&)>;

    int TakeSnapshot();
    int Diff();
    int Restore();
    // Reads a snapshot file; kDone, or kBadFile with the one line said.
    int LoadFile(const std::string& path, Snapshot& out);
    // Asks the person at the terminal; true for yes.
    bool Confirm(const std::string& question);
    // Connects, runs the work, disconnects; gives the work's exit code.
    int WithProcessor(const Work& work);
    // Takes the live snapshot; kDone or the exit code of the failure (already reported).
    int TakeLive(CLinkSession& session, ISnapshotLink& link, Snapshot& out);
    int Failed(ISnapshotLink::Result result, CLinkSession& session, const std::string& what);
    int Usage(const std::string& message);
    [[nodiscard]] SnapshotOrigin Origin() const;
    [[nodiscard]] std::string Where() const;

    const CCtlOptions& m_options;
    CConnectionSettings& m_settings;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_errTerminal;
    std::istream& m_in;
    bool m_inTerminal;
};
