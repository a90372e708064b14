#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "app/PresetCommand.h"
#include "link/ByteString.h"

class IOperatorDialogs;
class IPresetLink;
class IPresetListView;
class IPresetTimer;
class IPresetWindow;

// The main window's preset bookkeeping: filling the preset list after a connect, the five
// preset commands, preset files and the read-back after a file was sent. The window feeds it
// the link's preset messages and the list's signals; it answers through the link, the
// operator dialogs, the list and the window.
//
// Wiring in the main window:
//   WM_LINK_FACTORY_PRESET (3016)  -> OnFactoryPresetNumber(count)
//   WM_LINK_PRESET (3014)          -> OnPreset(n, data)
//   WM_LINK_PRESET_SENT (3017)     -> OnPresetSent(n)
//   WM_LINK_PRESET_LOADED (3018)   -> OnPresetLoaded(n)
//   OnTransferFailed 0x02 / 0x85   -> OnTransferFailed(command)
//   WM_LINK_DISCONNECTED (3009)    -> OnDisconnected()
//   buttons 109..113, 0x543        -> RunCommand(command)
//   0x544 (name edited)            -> OnNameEdited(n)
//   IParameterModelHost::IsPresetDownloadRunning -> IsDownloadRunning()
class QTemporaryDir;

class CPresetBook {
public:
    // The pause between two presets of the connect-time download.
    static constexpr std::chrono::milliseconds kDownloadPause{15};
    static constexpr const char* kNotKept = "The processor did not keep the preset";
    // What the preset file dialogs offer: preset files first, then any file.
    static constexpr const char* kFileFilter = "Solvei presets (*.pst);;All files (*)";
    static constexpr const char* kFileExtension = ".pst";

    CPresetBook(IPresetLink& link, IOperatorDialogs& dialogs, IPresetListView& list,
                IPresetWindow& window, IPresetTimer& pause);
    ~CPresetBook();

    // The processor's preset count: empties the list, turns polling off and downloads every
    // preset into the list, one after another.
    void OnFactoryPresetNumber(int count);
    // One preset's data from the processor.
    void OnPreset(int preset, const ByteString& data);
    // The processor took a preset sent from a file: read it back.
    void OnPresetSent(int preset);
    // The processor loaded a preset: its values are read again.
    void OnPresetLoaded(int preset);
    // A preset transfer broke off (command 0x85 Get Preset or 0x02 Send Preset): nothing is
    // written and the list stays as it was. During the connect-time download the download
    // ends here; the window decides what becomes of the connection.
    void OnTransferFailed(std::uint8_t command);
    // The link is gone: pauses and pending reads end.
    void OnDisconnected();

    // Where the automatic file of a preset goes: a private folder of this program, never the
    // working folder, where an operator's own file of that name could be.
    [[nodiscard]] std::string AutomaticPath(int preset) const;

    // Runs command on the list's selected preset; nothing without a selection.
    void RunCommand(PresetCommand command);
    // The operator renamed preset in the list: sends the list's text.
    void OnNameEdited(int preset);

    // Queues Get Preset. With ask the operator chooses where the data goes (nowhere when
    // cancelled; the dialog suggests the preset's name, and ".pst" is added to a name without
    // an extension); without it, the preset's automatic file.
    void FetchPreset(int preset, bool ask);
    // Queues Send Preset with a file's content: the operator's choice with ask, else the
    // preset's automatic file. True when something was sent.
    bool SendPresetFromFile(int preset, bool ask);
    // Reads a preset again only to show its name in the list (it was written behind the
    // list's back, by a restore).
    void RefreshName(int preset);
    // Reads a preset file; a short read is logged as "File Read Error" and what was read is
    // used. A file that cannot be opened gives empty data.
    ByteString ReadPresetFile(const std::string& path);
    // Takes the preset's name from its automatic file into the list (adding the item while
    // the list is filled) and deletes the file.
    void AddPresetToList(int preset);

    [[nodiscard]] int Count() const { return count_; }
    [[nodiscard]] bool IsDownloadRunning() const { return bulkDownload_; }
    [[nodiscard]] bool IsReloadPending() const { return reloadAfterSend_; }
    // Where the next preset read goes: a file path, or empty for nowhere.
    [[nodiscard]] std::string PendingPath() const;
    [[nodiscard]] int LastLoadedPreset() const { return lastLoaded_; }

private:
    // One Get Preset on its way: where its data goes. Replies come in request order, so a
    // read queued behind another (a Save to file behind a read-back) keeps its own file.
    struct PendingRead {
        int preset = 0;
        std::string path;      // empty: nowhere
        bool chosen = false;   // the operator chose the path
        bool readBack = false; // the read-back of a preset sent from a file
        bool nameOnly = false; // only its name goes to the list
        ByteString sent;       // what was sent, for the read-back to compare with
        std::string sentFrom;  // the file it came from
    };
    // A preset sent from a file, until its read-back.
    struct Sending {
        ByteString data;
        std::string file;
    };

    // "U2: DRIVE TIME", or the label alone for a preset without a name.
    [[nodiscard]] std::string Title(int preset) const;
    // True when no edits are on air that action would lose, or the operator agrees to lose
    // them. action: what would lose them, e.g. "Loading F2: ROCK".
    bool ConfirmLoseEdits(const std::string& action);

    void FinishDownload();
    void ResetCompareIfOn();
    void Tell(const std::string& text);

    IPresetLink& link_;
    IOperatorDialogs& dialogs_;
    IPresetListView& list_;
    IPresetWindow& window_;
    IPresetTimer& pause_;
    std::unique_ptr<QTemporaryDir> autoFolder_;
    // The size of the processor's presets, as the connect-time download found it (0: unknown).
    std::size_t presetSize_ = 0;
    // The data of a preset sent from a file, until its read-back.
    std::map<int, Sending> sending_;
    int count_ = 0;
    bool bulkDownload_ = false;
    bool reloadAfterSend_ = false;
    std::deque<PendingRead> pending_;
    int lastLoaded_ = -1;
};
