#include "app/CPresetBook.h"

#include <algorithm>
#include <filesystem>

#include <QDir>
#include <QTemporaryDir>

#include "app/IOperatorDialogs.h"
#include "app/IPresetLink.h"
#include "app/IPresetListView.h"
#include "app/IPresetTimer.h"
#include "app/IPresetWindow.h"
#include "app/PresetFile.h"
#include "description/Latin1Text.h"

namespace {
constexpr std::uint8_t kGetPresetCommand = 0x85;
constexpr std::uint8_t kSendPresetCommand = 0x02;

bool IsUserPreset(int preset) {
    return preset >= 0 && preset < kUserPresetCount;
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string FileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// The name a save dialog offers for a preset: its name, or its label when it has none,
// without the characters a file name cannot hold.
std::string SuggestedFileName(int preset, const std::string& name) {
    std::string base = Latin1Text::ToUtf8(name);
    while (!base.empty() && base.back() == ' ') {
        base.pop_back();
    }
    if (base.empty()) {
        base = PresetFile::Label(preset);
        base.pop_back(); // the label's ':'
    }
    for (char& c : base) {
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) {
            c = '_';
        }
    }
    return base + CPresetBook::kFileExtension;
}
} // namespace

CPresetBook::CPresetBook(IPresetLink& link, IOperatorDialogs& dialogs, IPresetListView& list,
                         IPresetWindow& window, IPresetTimer& pause)
    : link_(link), dialogs_(dialogs), list_(list), window_(window), pause_(pause),
      autoFolder_(std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                  QStringLiteral("/solvei-remote-XXXXXX"))) {
    if (!autoFolder_->isValid()) {
        window_.Log("No private folder for preset files: " +
                    autoFolder_->errorString().toStdString());
    }
}

CPresetBook::~CPresetBook() = default;

std::string CPresetBook::AutomaticPath(int preset) const {
    return (std::filesystem::path(autoFolder_->path().toStdString()) /
            PresetFile::AutomaticName(preset))
        .string();
}

void CPresetBook::OnFactoryPresetNumber(int count) {
    pause_.Stop();
    pending_.clear();
    reloadAfterSend_ = false;
    bulkDownload_ = true;
    count_ = std::clamp(count, 0, 0xFF);
    list_.RemoveAllPresets();
    link_.SetPolling(false);
    if (count_ == 0) {
        // Nothing to download: the connect would otherwise wait for ever.
        FinishDownload();
        return;
    }
    FetchPreset(0, false);
}

void CPresetBook::OnPreset(int preset, const ByteString& data) {
    // The read this reply answers; reads before it that never came back are dropped.
    PendingRead read;
    read.preset = preset;
    const auto match = std::find_if(pending_.begin(), pending_.end(),
                                    [preset](const PendingRead& p) { return p.preset == preset; });
    if (match != pending_.end()) {
        read = *match;
        pending_.erase(pending_.begin(), match + 1);
    }
    if (!read.path.empty()) {
        const bool written = PresetFile::Write(read.path, data);
        if (read.chosen && !written) {
            Tell("The preset could not be written to " + Quoted(read.path) + ".");
        } else if (read.chosen) {
            window_.ShowStatus(Title(preset) + " saved to " + FileName(read.path));
        }
    }
    if (bulkDownload_) {
        if (presetSize_ == 0) {
            presetSize_ = data.size();
        }
        AddPresetToList(preset);
        if (preset < count_ - 1) {
            pause_.Start(kDownloadPause, [this, preset] {
                if (bulkDownload_) {
                    FetchPreset(preset + 1, false);
                }
            });
        } else {
            FinishDownload();
        }
        return;
    }
    if (read.nameOnly) {
        AddPresetToList(preset);
        return;
    }
    if (read.readBack) {
        if (!read.sent.empty() && read.sent != data) {
            // Refused, cut or padded: what the list and the processor hold is not the file.
            Tell(std::string(kNotKept) + " " + PresetFile::Label(preset) + " as it was sent (" +
                 std::to_string(read.sent.size()) + " bytes sent, " + std::to_string(data.size()) +
                 " bytes kept).");
        }
        AddPresetToList(preset);
        if (!read.sent.empty() && read.sent == data) {
            window_.ShowStatus(Title(preset) + " loaded from " + FileName(read.sentFrom));
        }
        if (preset == list_.CurrentPreset()) {
            link_.LoadPreset(static_cast<std::uint8_t>(preset));
        }
        reloadAfterSend_ = false;
    } else if (!read.chosen && !read.path.empty()) {
        // An automatic file nobody reads: it must not stay in the working folder.
        std::error_code error;
        std::filesystem::remove(read.path, error);
    }
}

void CPresetBook::OnPresetSent(int preset) {
    const bool readBack = reloadAfterSend_;
    const std::size_t before = pending_.size();
    FetchPreset(preset, false);
    if (pending_.size() > before) {
        pending_.back().readBack = readBack;
        const auto sent = sending_.find(preset);
        if (sent != sending_.end()) {
            pending_.back().sent = std::move(sent->second.data);
            pending_.back().sentFrom = std::move(sent->second.file);
            sending_.erase(sent);
        }
    }
}

void CPresetBook::OnPresetLoaded(int preset) {
    if (window_.HasConditionValues()) {
        lastLoaded_ = preset;
    }
    window_.ReadLoadedPresetValues();
    if (lastLoaded_ >= 0) {
        list_.ClearSelectionMark(lastLoaded_);
    }
}

void CPresetBook::OnTransferFailed(std::uint8_t command) {
    if (command == kGetPresetCommand) {
        if (pending_.empty()) {
            return;
        }
        const PendingRead read = pending_.front();
        pending_.pop_front();
        if (bulkDownload_) {
            bulkDownload_ = false;
            pause_.Stop();
            return;
        }
        if (read.readBack) {
            reloadAfterSend_ = false;
        }
        if (read.chosen) {
            Tell("The preset could not be read from the processor. Nothing was written to " +
                 Quoted(read.path) + ".");
        }
    } else if (command == kSendPresetCommand) {
        if (reloadAfterSend_) {
            reloadAfterSend_ = false;
            Tell("Sending the preset file to the processor broke off. The preset list is "
                 "unchanged.");
        }
    }
}

void CPresetBook::OnDisconnected() {
    pause_.Stop();
    pending_.clear();
    sending_.clear();
    bulkDownload_ = false;
    reloadAfterSend_ = false;
}

void CPresetBook::RunCommand(PresetCommand command) {
    const int preset = list_.SelectedPreset();
    if (preset < 0) {
        return;
    }
    switch (command) {
    case PresetCommand::Load:
        if (!ConfirmLoseEdits("Loading " + Title(preset))) {
            return;
        }
        link_.LoadPreset(static_cast<std::uint8_t>(preset));
        break;
    case PresetCommand::Save:
        if (!IsUserPreset(preset)) {
            return; // factory presets cannot be overwritten
        }
        if (!dialogs_.Ask("Save the current settings into " + Title(preset) + "?\n\nWhat " +
                              Title(preset) + " holds now is replaced.",
                          "Save preset")) {
            return;
        }
        link_.SavePreset(static_cast<std::uint8_t>(preset));
        ResetCompareIfOn();
        list_.ClearSelectionMark(preset);
        break;
    case PresetCommand::Rename:
        if (IsUserPreset(preset)) {
            list_.StartRename(preset);
        }
        break;
    case PresetCommand::LoadFromFile:
        if (!IsUserPreset(preset)) {
            return;
        }
        // The preset on air is loaded again once the file is in: its edits would go.
        if (preset == list_.CurrentPreset() &&
            !ConfirmLoseEdits("Loading a file into " + Title(preset) + ", the preset on air,")) {
            return;
        }
        // Only a preset that went out is read back; a cancelled dialog leaves nothing pending.
        if (SendPresetFromFile(preset, true)) {
            reloadAfterSend_ = true;
        }
        list_.ClearSelectionMark(preset);
        break;
    case PresetCommand::SaveToFile:
        FetchPreset(preset, true);
        ResetCompareIfOn();
        list_.ClearSelectionMark(preset);
        break;
    }
}

void CPresetBook::OnNameEdited(int preset) {
    if (IsUserPreset(preset) && preset < count_) {
        link_.RenamePreset(static_cast<std::uint8_t>(preset), list_.PresetName(preset));
    }
}

void CPresetBook::RefreshName(int preset) {
    const std::size_t before = pending_.size();
    FetchPreset(preset, false);
    if (pending_.size() > before) {
        pending_.back().nameOnly = true;
    }
}

void CPresetBook::FetchPreset(int preset, bool ask) {
    if (preset < 0 || preset >= count_) {
        return;
    }
    PendingRead read;
    read.preset = preset;
    read.chosen = ask;
    if (ask) {
        // Cancelled: the preset is still read, and its data goes nowhere.
        const std::string name = list_.HasPreset(preset) ? list_.PresetName(preset) : "";
        if (auto chosen = dialogs_.ChooseSaveFile(kFileFilter, SuggestedFileName(preset, name))) {
            read.path = *chosen;
            if (!read.path.empty() && std::filesystem::path(read.path).extension().empty()) {
                read.path += kFileExtension;
            }
        }
    } else {
        read.path = AutomaticPath(preset);
    }
    pending_.push_back(read);
    link_.GetPreset(static_cast<std::uint8_t>(preset));
}

bool CPresetBook::SendPresetFromFile(int preset, bool ask) {
    std::string path;
    if (ask) {
        auto chosen = dialogs_.ChooseOpenFile(kFileFilter);
        if (!chosen || chosen->empty()) {
            return false;
        }
        path = *chosen;
    } else {
        path = AutomaticPath(preset);
    }
    PresetFile::ReadResult file = PresetFile::Read(path, PresetFile::kMaxSendBytes);
    switch (file.status) {
    case PresetFile::ReadStatus::Ok:
        break;
    case PresetFile::ReadStatus::ShortRead:
        window_.Log("File Read Error");
        break;
    case PresetFile::ReadStatus::IsDirectory:
        if (ask) {
            Tell(Quoted(path) + " is a folder, not a preset file. Nothing was sent.");
        }
        return false;
    case PresetFile::ReadStatus::CannotOpen:
        if (ask) {
            Tell("The preset file " + Quoted(path) + " cannot be read. Nothing was sent.");
        }
        return false;
    case PresetFile::ReadStatus::TooLarge:
        if (ask) {
            Tell("The file " + Quoted(path) +
                 " is too large to be a preset (more than 64 KiB). Nothing was sent.");
        }
        return false;
    }
    if (file.data.empty()) {
        if (ask) {
            Tell("The preset file " + Quoted(path) + " is empty. Nothing was sent.");
        }
        return false;
    }
    if (ask && presetSize_ != 0 && file.data.size() != presetSize_ &&
        !dialogs_.Ask("The file " + Quoted(path) + " holds " + std::to_string(file.data.size()) +
                          " bytes, but the processor's presets are " + std::to_string(presetSize_) +
                          " bytes: it may be damaged or of another processor.\n\nSend it to " +
                          PresetFile::Label(preset) + " anyway?",
                      "Preset size")) {
        return false;
    }
    sending_[preset] = {file.data, path};
    link_.SendPreset(static_cast<std::uint8_t>(preset), file.data);
    return true;
}

ByteString CPresetBook::ReadPresetFile(const std::string& path) {
    PresetFile::ReadResult file = PresetFile::Read(path);
    if (file.status == PresetFile::ReadStatus::ShortRead) {
        window_.Log("File Read Error");
    }
    return std::move(file.data);
}

void CPresetBook::AddPresetToList(int preset) {
    if (!list_.HasPreset(preset)) {
        list_.InsertPreset(preset);
    }
    const std::string path = AutomaticPath(preset);
    list_.SetPresetName(preset, PresetFile::NameFromData(ReadPresetFile(path)));
    std::error_code error;
    std::filesystem::remove(path, error);
}

std::string CPresetBook::PendingPath() const {
    return pending_.empty() ? std::string() : pending_.front().path;
}

void CPresetBook::FinishDownload() {
    bulkDownload_ = false;
    window_.OnPresetDownloadFinished();
    link_.SetPolling(true);
}

std::string CPresetBook::Title(int preset) const {
    const std::string name = list_.HasPreset(preset) ? list_.PresetName(preset) : "";
    return name.empty() ? PresetFile::Label(preset)
                        : PresetFile::Label(preset) + " " + Latin1Text::ToUtf8(name);
}

bool CPresetBook::ConfirmLoseEdits(const std::string& action) {
    if (!window_.HasUnsavedEdits()) {
        return true;
    }
    return dialogs_.Ask("The processor holds edits that are not saved in a preset. " + action +
                            " replaces them.\n\nGo on and lose the edits?",
                        "Unsaved edits");
}

void CPresetBook::ResetCompareIfOn() {
    if (window_.IsCompareMode()) {
        window_.ResetCompare();
    }
}

void CPresetBook::Tell(const std::string& text) {
    dialogs_.Show(text, "", IMessageBox::Icon::Warning);
}
