#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/CPresetBook.h"
#include "app/PresetTestDoubles.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// A preset as the processor sends it: the name zero-filled to 15 bytes, some values, and the
// XModem padding to a whole block.
ByteString PresetData(const std::string& name, std::uint8_t fill = 0x11) {
    ByteString data(name.begin(), name.end());
    data.resize(PresetFile::kNameBytes, 0);
    for (int i = 0; i < 40; ++i) {
        data.push_back(static_cast<std::uint8_t>(fill + i));
    }
    data.resize(128, 0);
    return data;
}

ByteString FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const ByteString& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
}

// The bookkeeping with recording doubles, working in a scratch folder of its own: the
// automatic preset files go to the working folder.
class PresetBookTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(work_.isValid());
        previous_ = fs::current_path();
        fs::current_path(work_.path().toStdString());
    }
    void TearDown() override { fs::current_path(previous_); }

    fs::path Work() const { return work_.path().toStdString(); }
    // Files left in the working folder.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Work())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
    // Runs the connect-time download of count presets named P0, P1, ...
    void Fill(int count) {
        book.OnFactoryPresetNumber(count);
        for (int n = 0; n < count; ++n) {
            book.OnPreset(n, PresetData("P" + std::to_string(n)));
            timer.Fire();
        }
        link.calls.clear();
        window.calls.clear();
    }

    RecordingPresetLink link;
    ScriptedDialogs dialogs;
    FakePresetList list;
    RecordingPresetWindow window;
    ManualPresetTimer timer;
    CPresetBook book{link, dialogs, list, window, timer};

private:
    QTemporaryDir work_;
    fs::path previous_;
};

TEST_F(PresetBookTest, TheOperatorsOwnFilesInTheWorkingFolderAreNeverTouched) {
    // Files an operator keeps where the program was started, with the automatic names.
    for (const char* name : {"preset0.pst", "preset1.pst"}) {
        std::ofstream(Work() / name, std::ios::binary) << "MINE " << name;
    }
    Fill(3);
    list.Select(1);
    book.RunCommand(PresetCommand::Load);
    for (const char* name : {"preset0.pst", "preset1.pst"}) {
        std::ifstream in(Work() / name, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(text, std::string("MINE ") + name);
    }
    EXPECT_EQ(list.items[0].name, "P0");
    EXPECT_FALSE(fs::exists(book.AutomaticPath(0))) << "the automatic file went after use";
}

TEST_F(PresetBookTest, FillsTheListOneByOneWithPausesAndLeavesNoFileBehind) {
    book.OnFactoryPresetNumber(12);
    EXPECT_TRUE(book.IsDownloadRunning());
    EXPECT_THAT(link.calls, ElementsAre("Polling off", "GetPreset 0"));
    for (int n = 0; n < 12; ++n) {
        link.calls.clear();
        ASSERT_EQ(book.PendingPath(), book.AutomaticPath(n));
        ASSERT_TRUE(book.PendingPath().ends_with("/" + PresetFile::AutomaticName(n)));
        book.OnPreset(n, PresetData("NAME " + std::to_string(n)));
        EXPECT_THAT(Leftovers(), IsEmpty()) << "after preset " << n;
        if (n < 11) {
            EXPECT_THAT(link.calls, IsEmpty()) << "the next request waits for the pause";
            ASSERT_TRUE(timer.Fire());
            EXPECT_THAT(link.calls, ElementsAre("GetPreset " + std::to_string(n + 1)));
        }
    }
    EXPECT_FALSE(timer.Running());
    EXPECT_EQ(timer.delays,
              std::vector<std::chrono::milliseconds>(11, CPresetBook::kDownloadPause));
    EXPECT_EQ(CPresetBook::kDownloadPause, std::chrono::milliseconds(15));
    EXPECT_FALSE(book.IsDownloadRunning());
    EXPECT_THAT(window.calls, ElementsAre("DownloadFinished"));
    EXPECT_THAT(link.calls, ElementsAre("Polling on"));
    ASSERT_EQ(list.items.size(), 12u);
    EXPECT_EQ(list.items[0].label, "U1:");
    EXPECT_EQ(list.items[7].label, "U8:");
    EXPECT_EQ(list.items[8].label, "F1:");
    EXPECT_EQ(list.items[11].label, "F4:");
    EXPECT_EQ(list.items[11].name, "NAME 11");
}

TEST_F(PresetBookTest, ARefillEmptiesTheListFirst) {
    Fill(3);
    book.OnFactoryPresetNumber(2);
    EXPECT_TRUE(list.items.empty());
    book.OnPreset(0, PresetData("X"));
    timer.Fire();
    book.OnPreset(1, PresetData("Y"));
    ASSERT_EQ(list.items.size(), 2u);
    EXPECT_EQ(list.items[1].name, "Y");
}

TEST_F(PresetBookTest, AProcessorWithoutPresetsStillEndsTheConnect) {
    book.OnFactoryPresetNumber(0);
    EXPECT_FALSE(book.IsDownloadRunning());
    EXPECT_THAT(window.calls, ElementsAre("DownloadFinished"));
    EXPECT_THAT(link.calls, ElementsAre("Polling off", "Polling on"));
}

TEST_F(PresetBookTest, APresetFolderWithoutFilesLeavesNamesEmptyButEndsTheDownload) {
    // The program's preset folder removed under it: no file can be made there, not even by
    // root.
    fs::remove_all(fs::path(book.AutomaticPath(0)).parent_path());
    book.OnFactoryPresetNumber(2);
    book.OnPreset(0, PresetData("A"));
    timer.Fire();
    book.OnPreset(1, PresetData("B"));
    ASSERT_EQ(list.items.size(), 2u);
    EXPECT_EQ(list.items[0].name, "");
    EXPECT_EQ(list.items[1].name, "");
    EXPECT_THAT(window.calls, ElementsAre("DownloadFinished"));
    EXPECT_THAT(dialogs.boxes, IsEmpty());
}

TEST_F(PresetBookTest, ADisconnectDuringThePauseFetchesNothingMore) {
    book.OnFactoryPresetNumber(4);
    book.OnPreset(0, PresetData("A"));
    book.OnDisconnected();
    link.calls.clear();
    EXPECT_FALSE(timer.Fire());
    EXPECT_FALSE(book.IsDownloadRunning());
    EXPECT_THAT(link.calls, IsEmpty());
}

TEST_F(PresetBookTest, AGetPresetThatBreaksOffEndsTheDownloadWithoutAFile) {
    book.OnFactoryPresetNumber(4);
    book.OnPreset(0, PresetData("A"));
    timer.Fire();
    book.OnTransferFailed(0x85);
    EXPECT_FALSE(book.IsDownloadRunning());
    EXPECT_FALSE(timer.Running());
    EXPECT_THAT(Leftovers(), IsEmpty());
    ASSERT_EQ(list.items.size(), 1u);
    EXPECT_EQ(list.items[0].name, "A");
    EXPECT_THAT(window.calls, IsEmpty()) << "the window decides about the connection";
}

// Each command on the selected preset, with compare on: what goes to the link and whether
// compare is reset and the selection cleared.
struct CommandCase {
    const char* name;
    PresetCommand command;
    int selected;
    std::vector<std::string> calls;
    bool resetsCompare;
    bool clearsSelection;
};

class PresetCommandTest : public PresetBookTest,
                          public ::testing::WithParamInterface<CommandCase> {};

TEST_P(PresetCommandTest, RunsOnTheSelectedPreset) {
    const CommandCase& c = GetParam();
    Fill(12);
    window.compare = true;
    dialogs.answerYes = true; // Save asks first
    dialogs.answers.push_back((Work() / "out.pst").string());
    list.Select(c.selected);
    book.RunCommand(c.command);
    EXPECT_EQ(link.calls, c.calls);
    EXPECT_EQ(window.calls, c.resetsCompare ? std::vector<std::string>{"ResetCompare"}
                                            : std::vector<std::string>{});
    EXPECT_EQ(list.SelectedPreset(), c.clearsSelection ? -1 : c.selected);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, PresetCommandTest,
    ::testing::Values(
        CommandCase{"Load", PresetCommand::Load, 2, {"LoadPreset 2"}, false, false},
        CommandCase{"LoadFactory", PresetCommand::Load, 9, {"LoadPreset 9"}, false, false},
        CommandCase{"Save", PresetCommand::Save, 1, {"SavePreset 1"}, true, true},
        CommandCase{"SaveFactoryRefused", PresetCommand::Save, 8, {}, false, false},
        CommandCase{"SaveToFile", PresetCommand::SaveToFile, 3, {"GetPreset 3"}, true, true},
        CommandCase{"SaveFactoryToFile", PresetCommand::SaveToFile, 8, {"GetPreset 8"}, true, true},
        CommandCase{"RenameStartsEditing", PresetCommand::Rename, 4, {}, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PresetBookTest, NoSelectionNoCommand) {
    Fill(4);
    dialogs.answers.push_back((Work() / "x.pst").string());
    for (int command = 0; command <= 4; ++command) {
        book.RunCommand(static_cast<PresetCommand>(command));
    }
    EXPECT_THAT(link.calls, IsEmpty());
    EXPECT_THAT(dialogs.asked, IsEmpty());
    EXPECT_EQ(list.renaming, -1);
}

TEST_F(PresetBookTest, SaveWithoutCompareLeavesTheCompareButtonsAlone) {
    Fill(4);
    list.Select(0);
    dialogs.answerYes = true;
    book.RunCommand(PresetCommand::Save);
    EXPECT_THAT(link.calls, ElementsAre("SavePreset 0"));
    EXPECT_THAT(window.calls, IsEmpty());
}

TEST_F(PresetBookTest, RenameOpensTheEditorAndTheEditedNameIsSent) {
    Fill(4);
    list.Select(2);
    book.RunCommand(PresetCommand::Rename);
    EXPECT_EQ(list.renaming, 2);
    list.items[2].name = "MORNING DRIVE";
    book.OnNameEdited(2);
    EXPECT_THAT(link.calls, ElementsAre("Rename 2 MORNING DRIVE"));
}

TEST(PresetFileTest, AWriteReplacesTheFileWholeOrLeavesTheOldOne) {
    QTemporaryDir dir;
    const fs::path path = fs::path(dir.path().toStdString()) / "kept.pst";
    WriteBytes(path, ByteString(300, 0x11));
    ASSERT_TRUE(PresetFile::Write(path.string(), ByteString(40, 0x22)));
    EXPECT_EQ(PresetFile::Read(path.string()).data, ByteString(40, 0x22));
    // Nothing written beside it is left behind.
    EXPECT_EQ(
        std::distance(fs::directory_iterator(dir.path().toStdString()), fs::directory_iterator()),
        1);
    // A file that cannot be made (its folder is a file) fails and touches nothing.
    EXPECT_FALSE(PresetFile::Write((path / "inner.pst").string(), ByteString(4, 1)));
    EXPECT_EQ(PresetFile::Read(path.string()).data, ByteString(40, 0x22));
}

TEST_F(PresetBookTest, SaveToFileWritesThePresetByteForByte) {
    Fill(12);
    const fs::path target = Work() / "sub" / "evening.pst";
    fs::create_directories(target.parent_path());
    dialogs.answers.push_back(target.string());
    list.Select(9);
    book.RunCommand(PresetCommand::SaveToFile);
    EXPECT_THAT(dialogs.asked, ElementsAre("save"));
    EXPECT_EQ(book.PendingPath(), target.string());
    const ByteString data = PresetData("EVENING", 0x80);
    book.OnPreset(9, data);
    EXPECT_EQ(FileBytes(target), data);
    EXPECT_EQ(list.items[9].name, "P9") << "the list is not touched";
    EXPECT_THAT(Leftovers(), ElementsAre("sub"));
    EXPECT_THAT(dialogs.boxes, IsEmpty());
}

TEST_F(PresetBookTest, ACancelledSaveDialogStillReadsThePresetAndWritesNothing) {
    Fill(4);
    dialogs.answers.push_back(std::nullopt);
    list.Select(1);
    book.RunCommand(PresetCommand::SaveToFile);
    EXPECT_THAT(link.calls, ElementsAre("GetPreset 1"));
    EXPECT_EQ(book.PendingPath(), "");
    book.OnPreset(1, PresetData("NOWHERE"));
    EXPECT_THAT(Leftovers(), IsEmpty());
    EXPECT_EQ(list.items[1].name, "P1");
    EXPECT_THAT(dialogs.boxes, IsEmpty());
}

TEST_F(PresetBookTest, AnUnwritableSaveTargetIsReported) {
    Fill(4);
    dialogs.answers.push_back((Work() / "missing-folder" / "x.pst").string());
    list.Select(1);
    book.RunCommand(PresetCommand::SaveToFile);
    book.OnPreset(1, PresetData("X"));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_THAT(dialogs.boxes[0], HasSubstr("could not be written"));
}

TEST_F(PresetBookTest, ASaveToFileThatBreaksOffWritesNothingAndSaysSo) {
    Fill(4);
    const fs::path target = Work() / "keep.pst";
    WriteBytes(target, {1, 2, 3});
    dialogs.answers.push_back(target.string());
    list.Select(2);
    book.RunCommand(PresetCommand::SaveToFile);
    book.OnTransferFailed(0x85);
    EXPECT_EQ(FileBytes(target), (ByteString{1, 2, 3})) << "the old file stays as it was";
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_THAT(dialogs.boxes[0], HasSubstr("could not be read from the processor"));
    EXPECT_EQ(list.items[2].name, "P2");
    EXPECT_EQ(book.PendingPath(), "");
}

TEST_F(PresetBookTest, LoadFromFileSendsReadsBackRefreshesAndReloadsTheCurrentPreset) {
    Fill(12);
    const ByteString file = PresetData("FROM FILE", 0x40);
    WriteBytes(Work() / "in.pst", file);
    list.current = 3;
    dialogs.answers.push_back((Work() / "in.pst").string());
    list.Select(3);
    book.RunCommand(PresetCommand::LoadFromFile);
    EXPECT_THAT(dialogs.asked, ElementsAre("open"));
    EXPECT_THAT(link.calls, ElementsAre("SendPreset 3"));
    ASSERT_EQ(link.sent.size(), 1u);
    EXPECT_EQ(link.sent[0], file);
    EXPECT_TRUE(book.IsReloadPending());
    EXPECT_EQ(list.SelectedPreset(), -1);

    link.calls.clear();
    book.OnPresetSent(3);
    EXPECT_THAT(link.calls, ElementsAre("GetPreset 3"));
    EXPECT_EQ(book.PendingPath(), book.AutomaticPath(3));
    book.OnPreset(3, file);
    EXPECT_EQ(list.items[3].name, "FROM FILE");
    EXPECT_THAT(link.calls, ElementsAre("GetPreset 3", "LoadPreset 3"));
    EXPECT_FALSE(book.IsReloadPending());
    EXPECT_THAT(Leftovers(), ElementsAre("in.pst"));
}

TEST_F(PresetBookTest, AFileOfAnotherSizeThanTheProcessorsPresetsIsSentOnlyWhenConfirmed) {
    Fill(12); // presets of 128 bytes
    WriteBytes(Work() / "short.pst", ByteString(50, 0x41));
    for (const bool yes : {false, true}) {
        dialogs.answerYes = yes;
        dialogs.questions.clear();
        link.calls.clear();
        dialogs.answers.push_back((Work() / "short.pst").string());
        list.Select(6);
        book.RunCommand(PresetCommand::LoadFromFile);
        ASSERT_EQ(dialogs.questions.size(), 1u);
        EXPECT_NE(dialogs.questions[0].find("holds 50 bytes"), std::string::npos);
        EXPECT_NE(dialogs.questions[0].find("are 128 bytes"), std::string::npos);
        EXPECT_NE(dialogs.questions[0].find("U7:"), std::string::npos);
        if (yes) {
            EXPECT_THAT(link.calls, ElementsAre("SendPreset 6"));
        } else {
            EXPECT_THAT(link.calls, IsEmpty()) << "nothing on air before the answer";
        }
    }
    // A file of the right size asks nothing.
    dialogs.questions.clear();
    WriteBytes(Work() / "right.pst", PresetData("RIGHT"));
    dialogs.answers.push_back((Work() / "right.pst").string());
    list.Select(6);
    book.RunCommand(PresetCommand::LoadFromFile);
    EXPECT_TRUE(dialogs.questions.empty());
}

TEST_F(PresetBookTest, AReadBackThatDiffersFromTheFileSaysThePresetWasNotKept) {
    Fill(12);
    const ByteString file = PresetData("SENT");
    WriteBytes(Work() / "in.pst", file);
    dialogs.answers.push_back((Work() / "in.pst").string());
    list.Select(4);
    book.RunCommand(PresetCommand::LoadFromFile);
    book.OnPresetSent(4);
    EXPECT_TRUE(dialogs.boxes.empty());
    // The processor kept something else (here: its old preset).
    book.OnPreset(4, PresetData("P4"));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].rfind(CPresetBook::kNotKept, 0), 0u) << dialogs.boxes[0];
    // The list shows what the processor holds, not the file.
    EXPECT_EQ(list.items[4].name, "P4");
}

TEST_F(PresetBookTest, AReadBackOfAPresetNotOnAirDoesNotLoadIt) {
    Fill(12);
    WriteBytes(Work() / "in.pst", PresetData("OTHER"));
    list.current = 0;
    dialogs.answers.push_back((Work() / "in.pst").string());
    list.Select(5);
    book.RunCommand(PresetCommand::LoadFromFile);
    book.OnPresetSent(5);
    book.OnPreset(5, PresetData("OTHER"));
    EXPECT_THAT(link.calls, ElementsAre("SendPreset 5", "GetPreset 5"));
    EXPECT_EQ(list.items[5].name, "OTHER");
}

TEST_F(PresetBookTest, ASaveToFileQueuedBehindAReadBackKeepsItsOwnFile) {
    Fill(12);
    WriteBytes(Work() / "in.pst", PresetData("SENT"));
    dialogs.answers.push_back((Work() / "in.pst").string());
    dialogs.answers.push_back((Work() / "out.pst").string());
    list.Select(3);
    book.RunCommand(PresetCommand::LoadFromFile);
    list.Select(2);
    book.RunCommand(PresetCommand::SaveToFile); // its Get Preset queues behind the send
    book.OnPresetSent(3);
    book.OnPreset(2, PresetData("TWO"));
    book.OnPreset(3, PresetData("SENT"));
    EXPECT_EQ(FileBytes(Work() / "out.pst"), PresetData("TWO"));
    EXPECT_EQ(list.items[2].name, "P2");
    EXPECT_EQ(list.items[3].name, "SENT");
    EXPECT_THAT(Leftovers(), ::testing::UnorderedElementsAre("in.pst", "out.pst"));
}

// Files the open dialog may give: what is sent and what the operator is told.
struct FileCase {
    const char* name;
    std::function<std::optional<std::string>(const fs::path& work)> choose;
    bool sent;
    const char* box; // part of the box text, or "" for none
};

class PresetLoadFileTest : public PresetBookTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(PresetLoadFileTest, SendsOnlyAPresetSizedReadableFile) {
    const FileCase& c = GetParam();
    Fill(4);
    // A file of another size than the processor's presets is sent once the operator agrees.
    dialogs.answerYes = true;
    dialogs.answers.push_back(c.choose(Work()));
    list.Select(1);
    book.RunCommand(PresetCommand::LoadFromFile);
    EXPECT_EQ(!link.sent.empty(), c.sent);
    EXPECT_EQ(book.IsReloadPending(), c.sent) << "only a preset that went out is read back";
    if (*c.box == '\0') {
        EXPECT_THAT(dialogs.boxes, IsEmpty());
    } else {
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_THAT(dialogs.boxes[0], HasSubstr(c.box));
    }
    // A later Save to file must not be taken for a read-back.
    link.calls.clear();
    dialogs.answers.push_back(std::nullopt);
    list.Select(2);
    book.RunCommand(PresetCommand::SaveToFile);
    book.OnPreset(2, PresetData("LATER"));
    EXPECT_EQ(list.items[2].name, "P2");
    EXPECT_THAT(link.calls, ElementsAre("GetPreset 2"));
}

std::optional<std::string> FileOfSize(const fs::path& work, std::size_t size) {
    const fs::path path = work / "preset-file.pst";
    WriteBytes(path, ByteString(size, 0x41));
    return path.string();
}

INSTANTIATE_TEST_SUITE_P(
    Files, PresetLoadFileTest,
    ::testing::Values(
        FileCase{"Cancelled", [](const fs::path&) { return std::nullopt; }, false, ""},
        FileCase{"Missing", [](const fs::path& w) { return (w / "nope.pst").string(); }, false,
                 "cannot be read"},
        FileCase{"Folder",
                 [](const fs::path& w) {
                     fs::create_directories(w / "folder.pst");
                     return (w / "folder.pst").string();
                 },
                 false, "is a folder"},
        FileCase{"Empty", [](const fs::path& w) { return FileOfSize(w, 0); }, false, "is empty"},
        FileCase{"OneByte", [](const fs::path& w) { return FileOfSize(w, 1); }, true, ""},
        FileCase{"At64KiB", [](const fs::path& w) { return FileOfSize(w, 65536); }, true, ""},
        FileCase{"Over64KiB", [](const fs::path& w) { return FileOfSize(w, 65537); }, false,
                 "too large"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PresetBookTest, ASendThatBreaksOffIsNotReadBack) {
    Fill(4);
    WriteBytes(Work() / "in.pst", PresetData("IN"));
    dialogs.answers.push_back((Work() / "in.pst").string());
    list.Select(1);
    book.RunCommand(PresetCommand::LoadFromFile);
    book.OnTransferFailed(0x02);
    EXPECT_FALSE(book.IsReloadPending());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_THAT(dialogs.boxes[0], HasSubstr("broke off"));
    EXPECT_EQ(list.items[1].name, "P1");
}

TEST_F(PresetBookTest, ALoadedPresetRestartsTheValueReadsAndClearsItsSelection) {
    Fill(4);
    list.Select(2);
    book.OnPresetLoaded(2);
    EXPECT_THAT(window.calls, ElementsAre("ReadLoadedPresetValues"));
    EXPECT_EQ(book.LastLoadedPreset(), -1) << "no condition read was started";
    EXPECT_EQ(list.SelectedPreset(), 2);

    window.conditions = true;
    book.OnPresetLoaded(2);
    EXPECT_EQ(book.LastLoadedPreset(), 2);
    EXPECT_EQ(list.SelectedPreset(), -1);

    // Without conditions the selection cleared is the last one that started a read.
    window.conditions = false;
    list.Select(2);
    book.OnPresetLoaded(3);
    EXPECT_EQ(book.LastLoadedPreset(), 2);
    EXPECT_EQ(list.SelectedPreset(), -1);
}

TEST_F(PresetBookTest, FetchBeyondTheCountDoesNothing) {
    Fill(4);
    book.FetchPreset(4, false);
    book.FetchPreset(-1, false);
    EXPECT_THAT(link.calls, IsEmpty());
}

TEST_F(PresetBookTest, AShortReadIsLoggedAndWhatWasReadIsUsed) {
    // Kernel attribute files claim a page and deliver a few bytes: a real short read.
    const std::string path = "/sys/devices/system/cpu/online";
    std::error_code error;
    if (fs::file_size(path, error) <= FileBytes(path).size() || error) {
        GTEST_SKIP() << path << " does not read short here";
    }
    const ByteString data = book.ReadPresetFile(path);
    EXPECT_EQ(data, FileBytes(path));
    EXPECT_FALSE(data.empty());
    EXPECT_THAT(window.log, ElementsAre("File Read Error"));

    window.log.clear();
    WriteBytes(Work() / "whole.pst", PresetData("WHOLE"));
    EXPECT_EQ(book.ReadPresetFile((Work() / "whole.pst").string()), PresetData("WHOLE"));
    EXPECT_TRUE(book.ReadPresetFile((Work() / "absent.pst").string()).empty());
    EXPECT_THAT(window.log, IsEmpty());
}

TEST(PresetFileTest, AutomaticNamesAreLowerCaseHexadecimal) {
    const std::pair<int, const char*> cases[] = {{0, "preset0.pst"},
                                                 {9, "preset9.pst"},
                                                 {10, "preseta.pst"},
                                                 {16, "preset10.pst"},
                                                 {255, "presetff.pst"}};
    for (const auto& [preset, name] : cases) {
        EXPECT_EQ(PresetFile::AutomaticName(preset), name);
    }
}

TEST(PresetFileTest, NamesAreTheFirstFifteenBytesUpToAZero) {
    const std::pair<ByteString, std::string> cases[] = {
        {{}, ""},
        {{'A', 'B'}, "AB"},
        {{'A', 0, 'B'}, "A"},
        {ByteString(20, 'X'), std::string(15, 'X')},
        {{0xC4, 'N', 'D'}, "\xC4ND"},
    };
    for (const auto& [data, name] : cases) {
        EXPECT_EQ(PresetFile::NameFromData(data), name);
    }
}

TEST(PresetFileTest, AShortReadKeepsWhatWasRead) {
    std::istringstream in("abc");
    const PresetFile::ReadResult result = PresetFile::ReadStream(in, 10);
    EXPECT_EQ(result.status, PresetFile::ReadStatus::ShortRead);
    EXPECT_EQ(result.data, (ByteString{'a', 'b', 'c'}));
}

} // namespace
