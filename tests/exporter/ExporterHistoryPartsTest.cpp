#include <QByteArray>

#include <ctime>
#include <filesystem>
#include <set>
#include <unistd.h>
#include <fstream>

#include <gtest/gtest.h>

#include "ctl/TestProcess.h"
#include "exporter/CExporterOptions.h"
#include "exporter/CHistoryKeeper.h"
#include "exporter/CHistoryLock.h"
#include "exporter/CHistoryStore.h"
#include "exporter/HistoryPage.h"
#include "exporter/HistoryText.h"
#include "snapshot/SnapshotCatalog.h"
#include "snapshot/SnapshotDiff.h"
#include "snapshot/SnapshotEncoding.h"
#include "snapshot/SnapshotFile.h"
#include "../snapshot/SnapshotFixture.h"

using namespace std::chrono_literals;

namespace {

std::string TempDir(const std::string& name) {
    const auto dir = std::filesystem::path(SOLVEI_TEST_TMP) / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

std::string GitOut(const std::string& dir, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {SOLVEI_GIT_PATH, "--git-dir", dir + "/.git", "--work-tree",
                                     dir};
    argv.insert(argv.end(), args.begin(), args.end());
    return TestProcess::Run(argv,
                            {{"GIT_CONFIG_NOSYSTEM", "1"}, {"GIT_CONFIG_GLOBAL", "/dev/null"}}, 30s)
        .out;
}

} // namespace

TEST(HistoryOptions, ProcessorLockCodeAndHistorySettings) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        std::optional<std::uint32_t> lock;
        double interval;
        int hour;
        int minute;
    };
    const std::string p = "--processor";
    const Case cases[] = {
        {{p, "fm=10.0.0.1:1203"}, true, std::nullopt, 900, 4, 0},
        {{p, "fm=10.0.0.1:1203,lock=1234"}, true, 1234u, 900, 4, 0},
        {{p, "fm=/dev/ttyS0,lock=0042"}, true, 42u, 900, 4, 0},
        {{p, "fm=10.0.0.1:1203,lock=12345"}, false, {}, 0, 0, 0},
        {{p, "fm=10.0.0.1:1203,lock="}, false, {}, 0, 0, 0},
        {{p, "fm=10.0.0.1:1203,lock=-1"}, false, {}, 0, 0, 0},
        {{p, "fm=10.0.0.1:1203,code=1"}, false, {}, 0, 0, 0},
        {{p, "fm=10.0.0.1:1203", "--history-interval", "90s"}, true, std::nullopt, 90, 4, 0},
        {{p, "fm=10.0.0.1:1203", "--history-interval", "15m"}, true, std::nullopt, 900, 4, 0},
        {{p, "fm=10.0.0.1:1203", "--history-interval", "2h"}, true, std::nullopt, 7200, 4, 0},
        {{p, "fm=10.0.0.1:1203", "--history-interval", "30"}, true, std::nullopt, 30, 4, 0},
        {{p, "fm=10.0.0.1:1203", "--history-interval", "0"}, false, {}, 0, 0, 0},
        {{p, "fm=10.0.0.1:1203", "--history-interval", "2d"}, false, {}, 0, 0, 0},
        {{p, "fm=10.0.0.1:1203", "--history-interval", "25h"}, false, {}, 0, 0, 0},
        {{p, "fm=10.0.0.1:1203", "--history-presets-at", "23:59"}, true, std::nullopt, 900, 23, 59},
        {{p, "fm=10.0.0.1:1203", "--history-presets-at", "00:00"}, true, std::nullopt, 900, 0, 0},
        {{p, "fm=10.0.0.1:1203", "--history-presets-at", "24:00"}, false, {}, 0, 0, 0},
        {{p, "fm=10.0.0.1:1203", "--history-presets-at", "3:00"}, false, {}, 0, 0, 0},
        {{p, "fm=10.0.0.1:1203", "--history-presets-at", "03:60"}, false, {}, 0, 0, 0},
        {{p, "fm=10.0.0.1:1203", "--history", ""}, false, {}, 0, 0, 0},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto o = CExporterOptions::Parse(c.args, error);
        std::string text;
        for (const auto& a : c.args) {
            text += a + " ";
        }
        ASSERT_EQ(o.has_value(), c.ok) << text << error;
        if (!o) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(o->processors.at(0).lockCode, c.lock) << text;
        EXPECT_EQ(o->historyIntervalSeconds, c.interval) << text;
        EXPECT_EQ(o->historyPresetsHour, c.hour) << text;
        EXPECT_EQ(o->historyPresetsMinute, c.minute) << text;
        EXPECT_EQ(o->processors.at(0).host.empty(), o->processors.at(0).IsSerial()) << text;
    }
}

TEST(HistoryOptions, ConfigFileLockUnderEitherName) {
    struct Case {
        const char* json;
        bool ok;
        std::optional<std::uint32_t> lock;
    };
    const Case cases[] = {
        {R"({"processors": [{"name": "a", "host": "h", "lock": 1234}]})", true, 1234u},
        {R"({"processors": [{"name": "a", "host": "h", "lock_code": 77}]})", true, 77u},
        {R"({"processors": [{"name": "a", "host": "h"}]})", true, std::nullopt},
        {R"({"processors": [{"name": "a", "host": "h", "lock": 1, "lock_code": 1}]})", false, {}},
        {R"({"processors": [{"name": "a", "host": "h", "lock": "1234"}]})", false, {}},
        {R"({"processors": [{"name": "a", "host": "h", "lock": 10000}]})", false, {}},
    };
    for (const auto& c : cases) {
        CExporterOptions o;
        std::string error;
        ASSERT_EQ(CExporterOptions::ParseConfig(QByteArray(c.json), "station.json", o, error), c.ok)
            << c.json << error;
        if (c.ok) {
            EXPECT_EQ(o.processors.at(0).lockCode, c.lock) << c.json;
        }
    }
}

TEST(HistoryText, FolderNamesAreSafeAndNeverShared) {
    const std::pair<const char*, const char*> cases[] = {
        {"fm1", "fm1"},    {"Studio-A.main", "Studio-A.main"},
        {".git", "_.git"}, {".", "_."},
        {"..", "_.."},     {"_x", "__x"},
        {"x_", "x_"},
    };
    std::set<std::string> folders;
    for (const auto& [name, folder] : cases) {
        EXPECT_EQ(HistoryText::FolderName(name), folder) << name;
        folders.insert(HistoryText::FolderName(name));
    }
    EXPECT_EQ(folders.size(), std::size(cases));
}

TEST(HistoryText, SubjectKeepsWholeChangesAndCountsTheRest) {
    const Snapshot now = MakeSnapshot();
    struct Case {
        std::vector<std::string> changes;
        std::string subject;
    };
    const std::string drive = "AGC > AGC Drive: 5.0 dB -> 7.0 dB";
    const std::string rename = "U3: renamed \"NEWS\" -> \"NEWS 2\"";
    const std::string longLine(150, 'x');
    const Case cases[] = {
        {{}, "fm: first snapshot, version 123, 6 parameters, 10 presets"},
        {{drive}, "fm: " + drive},
        {{drive, rename}, "fm: " + drive + "; " + rename},
        {{drive, rename, drive, rename, drive}, "fm: " + drive + "; " + rename + "; and 3 more"},
        {{longLine}, "fm: " + std::string(93, 'x') + "..."},
    };
    for (const auto& c : cases) {
        const auto m = HistoryText::CommitMessage("fm", now, c.changes);
        EXPECT_EQ(m.subject, c.subject);
        EXPECT_LE(m.subject.size(), HistoryText::kSubjectLimit);
        for (const auto& line : c.changes) {
            EXPECT_NE(m.body.find(line + "\n"), std::string::npos) << line;
        }
        EXPECT_NE(m.body.find("Taken by solvei-ctl 0.1.0 on studio at 2026-12-11T01:30:00Z from "
                              "127.0.0.1:1203."),
                  std::string::npos);
    }
}

TEST(HistoryText, ParametersTextHasEveryParameterButTheClockAndEveryPreset) {
    const Snapshot s = MakeSnapshot();
    const std::string text = HistoryText::ParametersText(s);
    for (const auto& p : s.parameters) {
        const std::string line = SnapshotDiff::Label(p) + " = " + p.shown + "\n";
        EXPECT_EQ(text.find(line) != std::string::npos, !p.live) << line;
    }
    EXPECT_NE(text.find("preset on air = F1\n"), std::string::npos);
    EXPECT_NE(text.find("preset U1 = \"USER 1\" sha256:" +
                        SnapshotEncoding::Sha256(s.presets[0].data) + "\n"),
              std::string::npos);
    EXPECT_NE(text.find("preset F1 = \"FACTORY 8\"\n"), std::string::npos);
    // The meter view is where the operator looks, not a setting: it makes no change.
    Snapshot viewed = s;
    viewed.ioView = !s.ioView;
    EXPECT_TRUE(HistoryText::Changes(s, viewed).empty());
    viewed.bypass = !s.bypass;
    EXPECT_EQ(HistoryText::Changes(s, viewed), std::vector<std::string>{"bypass: off -> on"});
}

// The store against a real git: the first snapshot and each change committed, a snapshot that
// differs only in when it was taken committed never, and a restart compares with what the
// folder holds.
TEST(HistoryStore, CommitsChangesOnlyAndRemembersAcrossRestarts) {
    const std::string dir = TempDir("history-store");
    Snapshot first = MakeSnapshot();
    Snapshot later = first;
    later.origin.at = "2026-12-11T02:00:00Z";
    later.parameters.back().value ^= 1; // the clock moved: a live reading
    Snapshot changed = MakeSnapshot({40, 0, 12, 3, 9, 1});
    {
        CHistoryStore store(dir);
        std::string error;
        ASSERT_EQ(store.Lock(error), CHistoryLock::Outcome::Held) << error;
        auto outcome = store.Store("fm", first);
        ASSERT_EQ(outcome.kind, CHistoryStore::Outcome::Kind::Committed) << outcome.error;
        EXPECT_TRUE(outcome.first);
        outcome = store.Store("fm", later);
        EXPECT_EQ(outcome.kind, CHistoryStore::Outcome::Kind::Unchanged) << outcome.error;
    }
    CHistoryStore store(dir);
    auto outcome = store.Store("fm", later);
    EXPECT_EQ(outcome.kind, CHistoryStore::Outcome::Kind::Unchanged) << outcome.error;
    outcome = store.Store("fm", changed);
    ASSERT_EQ(outcome.kind, CHistoryStore::Outcome::Kind::Committed) << outcome.error;
    EXPECT_FALSE(outcome.first);
    EXPECT_EQ(outcome.changes, std::vector<std::string>{"AGC > AGC Drive: 5.0 dB -> 10.0 dB"});
    EXPECT_EQ(GitOut(dir, {"log", "--format=%s"}),
              "fm: AGC > AGC Drive: 5.0 dB -> 10.0 dB\n"
              "fm: first snapshot, version 123, 6 parameters, 10 presets\n");
    EXPECT_EQ(GitOut(dir, {"rev-parse", "HEAD"}), outcome.commit + "\n");
    std::string error;
    const auto kept = SnapshotFile::Load(dir + "/fm/snapshot.json", error);
    ASSERT_TRUE(kept) << error;
    EXPECT_EQ(*kept, changed);
}

// A git that cannot run fails the store with one line, and the next try after it is mended
// commits what was missed.
TEST(HistoryStore, FailingGitIsReportedAndTheNextTryCommits) {
    const std::string dir = TempDir("history-no-git");
    {
        CHistoryStore store(dir, dir + "/no-such-git");
        const auto outcome = store.Store("fm", MakeSnapshot());
        EXPECT_EQ(outcome.kind, CHistoryStore::Outcome::Kind::Failed);
        EXPECT_EQ(outcome.error, "cannot run " + dir + "/no-such-git: No such file or directory");
    }
    CHistoryStore store(dir, SOLVEI_GIT_PATH);
    const auto outcome = store.Store("fm", MakeSnapshot());
    EXPECT_EQ(outcome.kind, CHistoryStore::Outcome::Kind::Committed) << outcome.error;
    EXPECT_TRUE(outcome.first);
}

// A second holder of the folder is turned away; the lock goes with its holder.
TEST(HistoryStore, LockKeepsASecondHolderOut) {
    const std::string dir = TempDir("history-lock-file");
    std::string error;
    {
        CHistoryLock first;
        ASSERT_EQ(first.Take(dir, error), CHistoryLock::Outcome::Held) << error;
        CHistoryLock second;
        EXPECT_EQ(second.Take(dir, error), CHistoryLock::Outcome::InUse);
        EXPECT_NE(error.find("in use by another solvei-exporter (process " +
                             std::to_string(getpid()) + ")"),
                  std::string::npos)
            << error;
    }
    CHistoryLock again;
    EXPECT_EQ(again.Take(dir, error), CHistoryLock::Outcome::Held) << error;
    // A file where the folder should be.
    std::ofstream(dir + "/file") << "x";
    CHistoryLock blocked;
    EXPECT_EQ(blocked.Take(dir + "/file", error), CHistoryLock::Outcome::Failed);
}

TEST(HistoryPage, EscapesTheChangesAndShowsTheProblem) {
    ProcessorStatus p;
    p.name = "fm";
    HistoryStatus h;
    h.lastSnapshotUnixSeconds = 1796965092;
    h.lastChangeUnixSeconds = 1796965092;
    h.lastCommit = "0123456789abcdef";
    h.lastChangeLines = {"U3: renamed \"<b>\" -> \"A&B\""};
    h.problem = "cannot keep the snapshot: <disk full>";
    p.history = h;
    const std::string html = HistoryPage::Section({p});
    EXPECT_NE(html.find("<li>U3: renamed &quot;&lt;b&gt;&quot; -&gt; &quot;A&amp;B&quot;</li>"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("cannot keep the snapshot: &lt;disk full&gt;"), std::string::npos);
    EXPECT_EQ(html.find("<b>"), std::string::npos);
    EXPECT_NE(html.find("0123456789ab<"), std::string::npos);
    ProcessorStatus without;
    without.name = "fm";
    EXPECT_EQ(HistoryPage::Section({without}), "");
}

TEST(HistoryKeeper, DailyPresetTimeIsTheNextOneAfter) {
    using std::chrono::system_clock;
    const auto at = [](int year, int month, int day, int hour, int minute) {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_isdst = -1;
        return system_clock::from_time_t(std::mktime(&t));
    };
    EXPECT_EQ(CHistoryKeeper::NextDaily(at(2026, 12, 11, 3, 0), 4, 0), at(2026, 12, 11, 4, 0));
    EXPECT_EQ(CHistoryKeeper::NextDaily(at(2026, 12, 11, 4, 0), 4, 0), at(2026, 12, 12, 4, 0));
    EXPECT_EQ(CHistoryKeeper::NextDaily(at(2026, 12, 11, 5, 0), 4, 0), at(2026, 12, 12, 4, 0));
    EXPECT_EQ(CHistoryKeeper::NextDaily(at(2026, 12, 31, 23, 30), 0, 15), at(2027, 1, 1, 0, 15));
}
