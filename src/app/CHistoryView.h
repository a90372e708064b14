#pragma once

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <QObject>
#include <QString>
#include <QWidget>

#include "app/CWindowSnapshotLink.h"
#include "app/SnapshotShelf.h"
#include "snapshot/CSnapshotRestorer.h"
#include "snapshot/Snapshot.h"

class CLinkEngine;
class CSkinButton;
class CSkinList;
class CSkinManager;
class CSkinProgress;
class CSkinStatic;
class IOperatorDialogs;

// The HISTORY view: this processor's snapshots in the navigation well (newest first, time and
// note) with the keys TAKE, RESTORE, EXPORT and IMPORT below them, and in the page area the
// differences of the chosen snapshot to the live processor, a caption line saying what is
// shown or going on, and a progress strip. Snapshots are taken and restored over the window's
// own link on a worker thread, so the window, its meters and its polling go on meanwhile.
class CHistoryView : public QObject {
    Q_OBJECT
public:
    enum Key { kTake, kRestore, kExport, kImport };
    static constexpr unsigned kFirstKeyId = 1060;
    static constexpr unsigned kListId = 1070;
    static constexpr unsigned kDiffId = 1071;
    static constexpr const char* kFileFilter = "Solvei snapshots (*.json);;All files (*)";

    // What the window does for the view.
    struct Host {
        std::function<void(const std::string&)> log;
        std::function<void(const std::string&)> status;
        // A restore wrote values: the page and the conditions are read again.
        std::function<void()> readValuesAgain;
        // A restore sent a preset: its name in the preset list is read again.
        std::function<void(int preset)> readPresetAgain;
        // A snapshot or restore runs: the window's own preset and page work waits.
        std::function<void(bool busy)> busy;
    };

    CHistoryView(CSkinManager* manager, QWidget* window, CLinkEngine& engine, Host host,
                 IOperatorDialogs& dialogs, std::filesystem::path root);
    ~CHistoryView() override;

    // The link adapter, to be set as the window's link tap.
    [[nodiscard]] CWindowSnapshotLink& Link() { return *link_; }

    // pageArea: where the differences go.
    void Create(const QRect& pageArea);
    void SetVisible(bool visible);
    [[nodiscard]] bool IsVisible() const { return visible_; }

    // processor: its address-book name or address.
    void OnConnected(const std::string& processor, const std::string& address, int lockCode,
                     std::chrono::milliseconds quietLimit);
    void OnDisconnected();
    // Breaks off whatever runs and waits for the worker (the window closes).
    void Stop();

    // Takes a snapshot with note and keeps it, then calls then (also when it failed, which is
    // told). Right away when not connected.
    void TakeAutomatic(const std::string& note, std::function<void()> then);

    // The keys' handlers.
    void OnTake();
    void OnRestore();
    void OnExport();
    void OnImport();

    // For tests and the window.
    [[nodiscard]] CSkinList* List() const { return list_; }
    [[nodiscard]] CSkinList* Differences() const { return diff_; }
    [[nodiscard]] CSkinButton* KeyButton(Key key) const { return keys_[key]; }
    [[nodiscard]] QString Caption() const;
    [[nodiscard]] bool IsBusy() const { return worker_.joinable(); }
    [[nodiscard]] const SnapshotShelf& Shelf() const { return shelf_; }
    [[nodiscard]] QWidget* Panel() const { return panel_; }
    [[nodiscard]] std::vector<QWidget*> TabChain() const;

private:
    using Work = std::function<void()>;
    // Runs work on the worker thread, then done on this thread.
    void Run(const QString& what, Work work, std::function<void()> done);
    void OnProgress(const std::string& what, int done, int total);
    void FillList(const std::string& select = {});
    void OnSelected();
    void ShowDifferences(const Snapshot& then, const Snapshot& now, const QString& caption);
    void ShowCaption(const QString& text);
    void UpdateKeys();
    [[nodiscard]] std::optional<Snapshot> LoadSelected(std::string& when);
    [[nodiscard]] SnapshotOrigin Origin() const;
    void Apply(const Snapshot& target, const std::string& when, Snapshot live);
    void KeepAutomatic(const Snapshot& snapshot, const std::string& note);

    CSkinManager* manager_;
    QWidget* window_;
    CLinkEngine& engine_;
    Host host_;
    IOperatorDialogs& dialogs_;
    SnapshotShelf shelf_;
    std::unique_ptr<CWindowSnapshotLink> link_;
    std::thread worker_;
    bool connected_ = false;
    bool visible_ = false;
    std::string address_;
    std::string chosenFile_; // the snapshot file LoadSelected read last

    // Filled by the worker, read once its done runs.
    Snapshot taken_;
    CSnapshotTaker::Outcome takeOutcome_;
    CSnapshotRestorer::Outcome restoreOutcome_;

    CSkinList* list_ = nullptr;
    std::array<CSkinButton*, 4> keys_{};
    QWidget* panel_ = nullptr;
    CSkinStatic* caption_ = nullptr;
    CSkinList* diff_ = nullptr;
    CSkinProgress* progress_ = nullptr;
};
