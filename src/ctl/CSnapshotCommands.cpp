#include "ctl/CSnapshotCommands.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <istream>
#include <ostream>

#include "ctl/CCtlCommands.h"
#include "ctl/CLinkFailureText.h"
#include "ctl/CSessionSnapshotLink.h"
#include "snapshot/CSnapshotRestorer.h"
#include "snapshot/CSnapshotTaker.h"
#include "snapshot/LocalOrigin.h"
#include "snapshot/SnapshotDiff.h"
#include "snapshot/SnapshotFile.h"
#include "snapshot/TransferRetry.h"
#include "SolveiVersion.h"

namespace {

// "1 parameter", "2 parameters".
std::string Count(std::size_t n, const std::string& what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

} // namespace

CSnapshotCommands::CSnapshotCommands(const CCtlOptions& options, CConnectionSettings& settings,
                                     std::ostream& out, std::ostream& err, bool errTerminal,
                                     std::istream& in, bool inTerminal)
    : m_options(options), m_settings(settings), m_out(out), m_err(err), m_errTerminal(errTerminal),
      m_in(in), m_inTerminal(inTerminal) {}

bool CSnapshotCommands::Handles(const std::string& command) {
    return command == "snapshot" || command == "diff" || command == "restore";
}

int CSnapshotCommands::Run() {
    if (m_options.command == "snapshot") {
        return TakeSnapshot();
    }
    if (m_options.command == "diff") {
        return Diff();
    }
    if (m_options.command == "restore") {
        return Restore();
    }
    return Usage("unknown command \"" + m_options.command + "\"");
}

int CSnapshotCommands::Usage(const std::string& message) {
    m_err << "solvei-ctl: " << message << "\n";
    return CCtlCommands::kUsage;
}

std::string CSnapshotCommands::Where() const {
    return m_settings.serial ? m_settings.portName
                             : m_settings.host + ":" + std::to_string(m_settings.port);
}

SnapshotOrigin CSnapshotCommands::Origin() const {
    return LocalOrigin::Now(std::string("solvei-ctl ") + SOLVEI_VERSION, Where());
}

int CSnapshotCommands::Failed(ISnapshotLink::Result result, CLinkSession& session,
                              const std::string& what) {
    switch (result) {
    case ISnapshotLink::Result::Ok:
        return CCtlCommands::kDone;
    case ISnapshotLink::Result::Refused:
        if (what == "Get Config") {
            m_err << "solvei-ctl: Incorrect Password (the processor did not acknowledge Get "
                     "Config with lock code "
                  << m_settings.lockCode << ")\n";
        } else {
            m_err << "solvei-ctl: the processor refused " << what << " on every try\n";
        }
        return CCtlCommands::kRefused;
    case ISnapshotLink::Result::Cancelled:
        m_err << "solvei-ctl: the transfer of " << what << " was cancelled "
              << TransferRetry::kRetries + 1 << " times\n";
        return CCtlCommands::kNoResponse;
    case ISnapshotLink::Result::NoResponse:
        break;
    }
    m_err << "solvei-ctl: no response from the processor during " << what;
    if (const std::string cause = CLinkFailureText::Cause(session.LastErrorCode(), m_settings);
        !cause.empty()) {
        m_err << " (" << cause << ")";
    }
    m_err << "\n";
    return CCtlCommands::kNoResponse;
}

int CSnapshotCommands::WithProcessor(const Work& work) {
    CLinkSession session(m_settings, m_options.log
                                         ? CLinkSession::LineSink([this](const std::string& line) {
                                               m_err << line << std::endl;
                                           })
                                         : nullptr);
    if (m_errTerminal) {
        session.SetRetrySink([this](int attempt, int tries) {
            m_err << "\nsolvei-ctl: no answer from " << Where() << ", trying again (" << attempt
                  << " of " << tries << ")" << std::endl;
        });
    }
    if (session.Connect() != CLinkSession::Status::Ok) {
        m_err << "solvei-ctl: cannot connect to " << Where();
        if (const std::string cause = CLinkFailureText::Cause(session.LastErrorCode(), m_settings);
            !cause.empty()) {
            m_err << " (" << cause << ")";
        }
        m_err << "\n";
        return CCtlCommands::kNoResponse;
    }
    CSessionSnapshotLink link(session, static_cast<int>(m_settings.lockCode),
                              [this](const std::string& notice) {
                                  if (m_errTerminal || m_options.log) {
                                      m_err << "\nsolvei-ctl: " << notice << std::endl;
                                  }
                              });
    const int code = work(session, link);
    // The conversation ends properly, even after a failure on its way.
    const auto closed = session.Disconnect();
    if (code == CCtlCommands::kDone && closed != CLinkSession::Status::Ok) {
        return Failed(CSessionSnapshotLink::From(closed), session, "disconnect");
    }
    return code;
}

int CSnapshotCommands::TakeLive(CLinkSession& session, ISnapshotLink& link, Snapshot& out) {
    // Progress for a person at a terminal: one line, drawn over.
    CSnapshotTaker taker(link, [this](const std::string& what, int done, int total) {
        if (m_errTerminal) {
            m_err << "\rsnapshot: " << what << " " << done << " of " << total << "   "
                  << std::flush;
        }
    });
    const auto outcome = taker.Take(Origin(), out);
    if (m_errTerminal) {
        m_err << "\r" << std::string(40, ' ') << "\r" << std::flush;
    }
    if (outcome.result != ISnapshotLink::Result::Ok) {
        return Failed(outcome.result, session, outcome.failedStep);
    }
    return CCtlCommands::kDone;
}

int CSnapshotCommands::TakeSnapshot() {
    if (m_options.args.size() != 1) {
        return Usage("snapshot needs one FILE");
    }
    const std::string& path = m_options.args[0];
    return WithProcessor([&](CLinkSession& session, ISnapshotLink& link) {
        Snapshot snapshot;
        if (const int code = TakeLive(session, link, snapshot); code != CCtlCommands::kDone) {
            return code;
        }
        std::string error;
        if (!SnapshotFile::Save(snapshot, path, error)) {
            m_err << "solvei-ctl: " << error << "\n";
            return int(CCtlCommands::kBadFile);
        }
        const std::size_t live =
            std::count_if(snapshot.parameters.begin(), snapshot.parameters.end(),
                          [](const SnapshotParameter& p) { return p.live; });
        m_out << "snapshot of " << Where() << " (version " << snapshot.version << ") in " << path
              << ": " << snapshot.parameters.size() - live << " parameters"
              << (live ? " and " + std::to_string(live) + " live readings" : std::string()) << ", "
              << snapshot.presetCount << " presets\n";
        return int(CCtlCommands::kDone);
    });
}

int CSnapshotCommands::LoadFile(const std::string& path, Snapshot& out) {
    std::string error;
    auto snapshot = SnapshotFile::Load(path, error);
    if (!snapshot) {
        m_err << "solvei-ctl: " << error << "\n";
        return CCtlCommands::kBadFile;
    }
    out = std::move(*snapshot);
    return CCtlCommands::kDone;
}

int CSnapshotCommands::Diff() {
    if (m_options.args.size() != 2) {
        return Usage("diff needs two snapshots A B, each a FILE or " + std::string(kLive));
    }
    const std::string& nameA = m_options.args[0];
    const std::string& nameB = m_options.args[1];
    Snapshot a;
    Snapshot b;
    // Files first: a bad file is refused before the processor is bothered.
    for (const auto& [name, snapshot] : {std::pair{&nameA, &a}, std::pair{&nameB, &b}}) {
        if (*name != kLive) {
            if (const int code = LoadFile(*name, *snapshot); code != CCtlCommands::kDone) {
                return code;
            }
        }
    }
    const auto compare = [&] {
        const auto lines = SnapshotDiff::Compare(a, b, nameA, nameB);
        for (const std::string& line : lines) {
            m_out << line << "\n";
        }
        if (lines.empty()) {
            m_out << "same\n";
        }
        return lines.empty() ? kSame : kDiffer;
    };
    if (nameA != kLive && nameB != kLive) {
        return compare();
    }
    return WithProcessor([&](CLinkSession& session, ISnapshotLink& link) {
        for (const auto& [name, snapshot] : {std::pair{&nameA, &a}, std::pair{&nameB, &b}}) {
            if (*name == kLive) {
                if (const int code = TakeLive(session, link, *snapshot);
                    code != CCtlCommands::kDone) {
                    return code;
                }
            }
        }
        return compare();
    });
}

bool CSnapshotCommands::Confirm(const std::string& question) {
    m_err << question << " [y/N] " << std::flush;
    // Ctrl+C at the question ends the program, as a person expects: nothing is written yet.
    // (The program's own handler only raises a flag, and the read would go on waiting.)
    const auto previous = std::signal(SIGINT, SIG_DFL);
    std::string answer;
    const bool answered = static_cast<bool>(std::getline(m_in, answer));
    std::signal(SIGINT, previous);
    if (!answered) {
        m_err << "\n";
        return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES";
}

int CSnapshotCommands::Restore() {
    std::string path;
    bool dryRun = false;
    bool yes = false;
    CSnapshotRestorer::Scope scope = CSnapshotRestorer::Scope::Everything;
    for (const std::string& arg : m_options.args) {
        if (arg == "--dry-run") {
            dryRun = true;
        } else if (arg == "--yes") {
            yes = true;
        } else if (arg == "--parameters-only" || arg == "--presets-only") {
            if (scope != CSnapshotRestorer::Scope::Everything) {
                return Usage("restore takes one of --parameters-only and --presets-only");
            }
            scope = arg == "--parameters-only" ? CSnapshotRestorer::Scope::ParametersOnly
                                               : CSnapshotRestorer::Scope::PresetsOnly;
        } else if (path.empty() && arg.rfind("--", 0) != 0) {
            path = arg;
        } else {
            return Usage("restore takes FILE [--dry-run] [--yes] "
                         "[--parameters-only|--presets-only]; not \"" +
                         arg + "\"");
        }
    }
    if (path.empty()) {
        return Usage("restore needs a snapshot FILE");
    }
    // The file is checked whole before anything is written.
    Snapshot target;
    if (const int code = LoadFile(path, target); code != CCtlCommands::kDone) {
        return code;
    }
    // Without --yes only a person at a terminal can say yes; a script is stopped before it
    // connects.
    if (!dryRun && !yes && !m_inTerminal) {
        m_err << "solvei-ctl: restore writes to the processor: confirm with --yes (or run it at "
                 "a terminal to be asked); nothing was written\n";
        return CCtlCommands::kUsage;
    }
    return WithProcessor([&](CLinkSession& session, ISnapshotLink& link) {
        Snapshot live;
        if (const int code = TakeLive(session, link, live); code != CCtlCommands::kDone) {
            return code;
        }
        if (live.type != target.type) {
            m_err << "solvei-ctl: " << path << " is a snapshot of a processor of type "
                  << target.type << "; " << Where() << " is of type " << live.type
                  << ": nothing was written\n";
            return int(CCtlCommands::kBadFile);
        }
        const bool otherDescription = live.description != target.description;
        if (otherDescription) {
            m_err << "solvei-ctl: " << path << " was taken with another control description "
                  << "(version " << target.version << "; " << Where() << " has version "
                  << live.version << "): parameters are matched by address\n";
        }
        const auto plan = CSnapshotRestorer::MakePlan(target, live, scope);
        if (plan.Empty()) {
            m_out << "nothing to restore: " << Where() << " is as in " << path << "\n";
            return int(CCtlCommands::kDone);
        }
        for (const std::string& line : plan.Lines()) {
            m_out << (dryRun ? "would " : "") << line << "\n";
        }
        if (dryRun) {
            m_out << "dry run: nothing was written\n";
            return int(CCtlCommands::kDone);
        }
        m_out.flush();
        if (!yes) {
            const std::string question =
                "Restore " + Count(plan.writes.size(), "parameter") + " and " +
                Count(plan.sends.size(), "preset") + " on " + Where() +
                (otherDescription ? " (another control description)" : "") + "?";
            if (!Confirm(question)) {
                m_err << "solvei-ctl: not confirmed; nothing was written\n";
                return int(CCtlCommands::kUsage);
            }
        }
        CSnapshotRestorer restorer(link, [this](const std::string& what, int done, int total) {
            if (m_errTerminal) {
                m_err << "\rrestore: " << what << " " << done << " of " << total << "   "
                      << std::flush;
            }
        });
        const auto outcome = restorer.Apply(target, plan, scope, Origin());
        if (m_errTerminal) {
            m_err << "\r" << std::string(40, ' ') << "\r" << std::flush;
        }
        if (outcome.result != ISnapshotLink::Result::Ok) {
            return Failed(outcome.result, session, outcome.failedStep);
        }
        // What a restore leaves to the operator, said so nobody takes it for restored.
        const Snapshot& after = outcome.after;
        if (after.current != target.current) {
            m_out << "left as it is: current preset " << SnapshotDiff::PresetText(after.current)
                  << " (the snapshot: " << SnapshotDiff::PresetText(target.current) << ")\n";
        }
        if (after.bypass != target.bypass) {
            m_out << "left as it is: bypass " << (after.bypass ? "on" : "off")
                  << " (the snapshot: " << (target.bypass ? "on" : "off") << ")\n";
        }
        if (!outcome.notKept.empty()) {
            for (const std::string& line : outcome.notKept) {
                m_err << "solvei-ctl: not kept: " << line << "\n";
            }
            return int(CCtlCommands::kNoResponse);
        }
        m_out << "restored " << Count(plan.writes.size(), "parameter") << " and "
              << Count(plan.sends.size(), "preset") << " on " << Where()
              << "; they read back as in " << path << "\n";
        return int(CCtlCommands::kDone);
    });
}
