// Where the window keeps a processor's snapshots: a safe folder per processor, newest first,
// notes kept beside the files.
#include <filesystem>
#include <set>

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/SnapshotDiffRows.h"
#include "app/SnapshotShelf.h"

namespace fs = std::filesystem;

namespace {

TEST(SnapshotShelfTest, AProcessorsNameBecomesASafeFolderName) {
    struct Case {
        std::string name;
        bool keptAsItIs;
    };
    const Case cases[] = {
        {"studio-1.fm_main", true},
        {"127.0.0.1:1203", false},
        {"FM main", false},
        {"../../etc/passwd", false},
        {"..", false},
        {".hidden", false},
        {"", false},
        {"C:\\COM1", false},
        {"Fl\xC3\xBC"
         "chtling \xE2\x80\x94 STL",
         false},
        {std::string(300, 'a'), false},
        {std::string("a\0b", 3), false},
    };
    std::set<std::string> seen;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string safe = SnapshotShelf::SafeName(c.name);
        EXPECT_FALSE(safe.empty());
        EXPECT_LE(safe.size(), 80u);
        EXPECT_NE(safe.front(), '.');
        for (char ch : safe) {
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(ch)) || ch == '-' || ch == '_' ||
                        ch == '.')
                << "character " << int(ch);
        }
        if (c.keptAsItIs) {
            EXPECT_EQ(safe, c.name);
        }
        EXPECT_TRUE(seen.insert(safe).second) << "two names share " << safe;
    }
    // Names made alike stay apart.
    EXPECT_NE(SnapshotShelf::SafeName("FM/main"), SnapshotShelf::SafeName("FM:main"));
    EXPECT_NE(SnapshotShelf::SafeName("FM/main"), SnapshotShelf::SafeName("FM_main"));
    EXPECT_NE(SnapshotShelf::SafeName(std::string(300, 'a') + "1"),
              SnapshotShelf::SafeName(std::string(300, 'a') + "2"));
}

TEST(SnapshotShelfTest, KeepsSnapshotsPerProcessorNewestFirstWithTheirNotes) {
    QTemporaryDir dir;
    SnapshotShelf shelf(fs::path(dir.path().toStdString()) / "snapshots");
    shelf.SetProcessor("FM main");
    EXPECT_TRUE(shelf.List().empty());
    Snapshot snapshot;
    snapshot.version = "V1.23";
    std::string error;
    const auto first = shelf.Keep(snapshot, "first", error);
    ASSERT_TRUE(first) << error;
    snapshot.bypass = true;
    const auto second = shelf.Keep(snapshot, "second\nline", error);
    ASSERT_TRUE(second) << error;
    const auto third = shelf.Keep(snapshot, "", error);
    ASSERT_TRUE(third) << error;
    const auto entries = shelf.List();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].file, third->file);
    EXPECT_EQ(entries[1].note, "second line");
    EXPECT_EQ(entries[2].note, "first");
    EXPECT_EQ(entries[0].note, "");
    EXPECT_EQ(entries[0].file.parent_path().filename().string(),
              SnapshotShelf::SafeName("FM main"));
    // Another processor has its own.
    shelf.SetProcessor("STL");
    EXPECT_TRUE(shelf.List().empty());
}

TEST(SnapshotShelfTest, DifferencesAreRowsOfWhatThenAndNow) {
    Snapshot then;
    then.parameters = {{{0, 0, 0}, "AGC", "AGC Drive", 10, "5.0 dB"},
                       {{0, 0, 1}, "AGC", "Gate Threshold", 3, "-50 dB"},
                       {{5, 0, 0}, "System > Clock", "Hours", 4, "04", true}};
    then.presetCount = 1;
    then.presets = {{0, "NEWS", ByteString(20, 1)}};
    Snapshot now = then;
    now.parameters[0].value = 14;
    now.parameters[0].shown = "7.0 dB";
    now.parameters[2].value = 5; // a live reading is no difference
    now.parameters[2].shown = "05";
    now.presets[0].name = "NEWS 2";
    now.bypass = true;
    const std::vector<SnapshotDiffRow> expected{
        {"AGC > AGC Drive", "5.0 dB", "7.0 dB"},
        {"bypass", "off", "on"},
        {"U1 renamed", "\"NEWS\"", "\"NEWS 2\""},
    };
    EXPECT_EQ(SnapshotDiffRows(then, now), expected);
    EXPECT_TRUE(SnapshotDiffRows(then, then).empty());
}

} // namespace
