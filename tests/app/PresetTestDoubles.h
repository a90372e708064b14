#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/IOperatorDialogs.h"
#include "app/IPresetLink.h"
#include "app/IPresetListView.h"
#include "app/IPresetTimer.h"
#include "app/IPresetWindow.h"
#include "app/PresetFile.h"

// Every preset request, as one readable line each ("GetPreset 3", "Rename 0 ABC").
class RecordingPresetLink : public IPresetLink {
public:
    void GetFactoryPresetNumber() override { calls.push_back("GetFactoryPresetNumber"); }
    void GetPreset(std::uint8_t preset) override {
        calls.push_back("GetPreset " + std::to_string(preset));
    }
    void SendPreset(std::uint8_t preset, const ByteString& data) override {
        calls.push_back("SendPreset " + std::to_string(preset));
        sent.push_back(data);
    }
    void LoadPreset(std::uint8_t preset) override {
        calls.push_back("LoadPreset " + std::to_string(preset));
    }
    void SavePreset(std::uint8_t preset) override {
        calls.push_back("SavePreset " + std::to_string(preset));
    }
    void RenamePreset(std::uint8_t preset, const std::string& name) override {
        calls.push_back("Rename " + std::to_string(preset) + " " + name);
    }
    void SetPolling(bool on) override { calls.push_back(on ? "Polling on" : "Polling off"); }

    std::vector<std::string> calls;
    std::vector<ByteString> sent;
};

// Boxes recorded; file dialogs answered from a script (nullopt: the operator cancels).
class ScriptedDialogs : public IOperatorDialogs {
public:
    void Show(const std::string& text, const std::string& caption, Icon icon) override {
        boxes.push_back(text);
        (void)caption;
        (void)icon;
    }
    std::optional<std::string> ChooseOpenFile(const std::string& filter) override {
        return Next("open", filter);
    }
    std::optional<std::string> ChooseSaveFile(const std::string& filter,
                                              const std::string& suggested) override {
        suggestions.push_back(suggested);
        return Next("save", filter);
    }
    bool Ask(const std::string& text, const std::string& caption) override {
        questions.push_back(text);
        (void)caption;
        return answerYes;
    }
    std::vector<std::string> questions;
    bool answerYes = false;

    std::deque<std::optional<std::string>> answers;
    std::vector<std::string> asked;       // "open" or "save", in order
    std::vector<std::string> filters;     // each file dialog's filter, in order
    std::vector<std::string> suggestions; // the name each save dialog suggested
    std::vector<std::string> boxes;

private:
    std::optional<std::string> Next(const std::string& kind, const std::string& filter) {
        asked.push_back(kind);
        filters.push_back(filter);
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// The list as the bookkeeping sees it, in memory.
class FakePresetList : public IPresetListView {
public:
    struct Item {
        std::string label;
        std::string name;
        bool selected = false;
    };

    void RemoveAllPresets() override { items.clear(); }
    bool HasPreset(int preset) const override {
        return preset >= 0 && preset < static_cast<int>(items.size());
    }
    void InsertPreset(int preset) override {
        while (static_cast<int>(items.size()) <= preset) {
            items.push_back({PresetFile::Label(static_cast<int>(items.size())), "", false});
        }
    }
    void SetPresetName(int preset, const std::string& name) override {
        items.at(preset).name = name;
    }
    std::string PresetName(int preset) const override { return items.at(preset).name; }
    int SelectedPreset() const override {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].selected) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    void ClearSelectionMark(int preset) override { items.at(preset).selected = false; }
    void StartRename(int preset) override { renaming = preset; }
    int CurrentPreset() const override { return current; }

    void Select(int preset) {
        for (auto& item : items) {
            item.selected = false;
        }
        items.at(preset).selected = true;
    }

    std::vector<Item> items;
    int current = kNoPreset;
    int renaming = -1;
};

class RecordingPresetWindow : public IPresetWindow {
public:
    void OnPresetDownloadFinished() override { calls.push_back("DownloadFinished"); }
    bool IsCompareMode() const override { return compare; }
    void ResetCompare() override {
        calls.push_back("ResetCompare");
        compare = false;
    }
    bool HasConditionValues() const override { return conditions; }
    void ReadLoadedPresetValues() override { calls.push_back("ReadLoadedPresetValues"); }
    bool HasUnsavedEdits() const override { return edits; }
    void ShowStatus(const std::string& text) override { status.push_back(text); }
    void Log(const std::string& line) override { log.push_back(line); }

    bool compare = false;
    bool edits = false;
    std::vector<std::string> status;
    bool conditions = false;
    std::vector<std::string> calls;
    std::vector<std::string> log;
};

// A pause the test ends itself.
class ManualPresetTimer : public IPresetTimer {
public:
    void Start(std::chrono::milliseconds delay, std::function<void()> done) override {
        delays.push_back(delay);
        done_ = std::move(done);
    }
    void Stop() override { done_ = nullptr; }
    [[nodiscard]] bool Running() const { return static_cast<bool>(done_); }
    // Ends the running pause; false when none runs.
    bool Fire() {
        if (!done_) {
            return false;
        }
        auto done = std::move(done_);
        done_ = nullptr;
        done();
        return true;
    }

    std::vector<std::chrono::milliseconds> delays;

private:
    std::function<void()> done_;
};
