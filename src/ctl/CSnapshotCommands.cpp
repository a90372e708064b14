#include "ctl/CSnapshotCommands.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <istream>
#include <ostream>
#include <pwd.h>
#include <unistd.h>

#include "ctl/CCtlCommands.h"
#include "ctl/CLinkFailureText.h"
#include "ctl/CSessionSnapshotLink.h"
#include "snapshot/CSnapshotTaker.h"
#include "snapshot/SnapshotFile.h"
#include "SolveiVersion.h"

namespace {

std::string NowUtc() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string UserName() {
    if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') {
        return user;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_name != nullptr) {
        return pw->pw_name;
    }
    return std::to_string(::getuid());
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

} // namespace

CSnapshotCommands::CSnapshotCommands(const CCtlOptions& options, CConnectionSettings& settings,
                                     std::ostream& out, std::ostream& err, bool errTerminal,
                                     std::istream& in, bool inTerminal)
    : m_options(options), m_settings(settings), m_out(out), m_err(err), m_errTerminal(errTerminal),
      m_in(in), m_inTerminal(inTerminal) {}

bool CSnapshotCommands::Handles(const std::string& command) {
    return command == "snapshot";
}

int CSnapshotCommands::Run() {
    if (m_options.command == "snapshot") {
        return TakeSnapshot();
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
    return {NowUtc(), std::string("solvei-ctl ") + SOLVEI_VERSION, UserName(), HostName(), Where()};
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
              << CSessionSnapshotLink::kTransferRetries + 1 << " times\n";
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
