#include "app/CHistoryView.h"

#include <QTime>
#include <QMetaObject>
#include <QHeaderView>
#include <QPalette>
#include <QSignalBlocker>
#include <QTreeWidgetItem>

#include "app/IOperatorDialogs.h"
#include "app/SnapshotDiffRows.h"
#include "skin/CSkin.h"
#include "skin/CSkinManager.h"
#include "skin/SkinDrawing.h"
#include "snapshot/CSnapshotTaker.h"
#include "snapshot/LocalOrigin.h"
#include "snapshot/SnapshotDiff.h"
#include "snapshot/SnapshotFile.h"
#include "widgets/CSkinButton.h"
#include "widgets/CSkinList.h"
#include "widgets/CSkinProgress.h"
#include "widgets/CSkinStatic.h"

namespace {
const char* const kKeySections[] = {"HistoryTake", "HistoryRestore", "HistoryExport",
                                    "HistoryImport"};
constexpr int kPathRole = Qt::UserRole;

std::string Plural(std::size_t n, const std::string& what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

CHistoryView::CHistoryView(CSkinManager* manager, QWidget* window, CLinkEngine& engine, Host host,
                           IOperatorDialogs& dialogs, std::filesystem::path root)
    : manager_(manager), window_(window), engine_(engine), host_(std::move(host)),
      dialogs_(dialogs), shelf_(std::move(root)),
      link_(std::make_unique<CWindowSnapshotLink>(engine, 0, std::chrono::seconds(10))) {}

CHistoryView::~CHistoryView() {
    Stop();
}

void CHistoryView::Create(const QRect& pageArea) {
    list_ = new CSkinList("HistoryList", manager_);
    list_->Create(window_, kListId);
    list_->hide();
    if (CSkin* skin = manager_->Current()) {
        // The chosen snapshot is marked as the chosen preset is.
        QPalette marked = list_->palette();
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            marked.setColor(group, QPalette::Highlight,
                            ColorFromSkin(skin->GetLong("HistoryList", "selection_color")));
            marked.setColor(group, QPalette::HighlightedText,
                            ColorFromSkin(skin->GetLong("HistoryList", "selected_text_color")));
        }
        list_->setPalette(marked);
    }
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CHistoryView::OnSelected);
    // A click on the row already chosen compares it again (a change may have come since).
    connect(list_, &QTreeWidget::itemClicked, this, [this] { OnSelected(); });
    const std::array<void (CHistoryView::*)(), 4> handlers{
        &CHistoryView::OnTake, &CHistoryView::OnRestore, &CHistoryView::OnExport,
        &CHistoryView::OnImport};
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        keys_[i] = new CSkinButton(kKeySections[i], manager_);
        keys_[i]->Create(window_, kFirstKeyId + static_cast<unsigned>(i));
        keys_[i]->hide();
        connect(keys_[i], &QAbstractButton::clicked, this, handlers[i]);
    }

    panel_ = new QWidget(window_);
    panel_->setObjectName(QStringLiteral("HistoryPanel"));
    panel_->setGeometry(pageArea);
    panel_->setAutoFillBackground(true);
    QPalette colours = panel_->palette();
    CSkin* skin = manager_->Current();
    if (skin != nullptr) {
        colours.setColor(QPalette::Window, ColorFromSkin(skin->GetLong("HistoryPanel", "bkcolor")));
    }
    panel_->setPalette(colours);
    caption_ = new CSkinStatic("HistoryCaption", manager_);
    caption_->Create(panel_, 0);
    diff_ = new CSkinList("HistoryDiff", manager_);
    diff_->Create(panel_, kDiffId);
    diff_->setSelectionMode(QAbstractItemView::NoSelection);
    if (skin != nullptr) {
        // The column titles in the caption's ink on the panel, not the platform's light bar.
        diff_->header()->setStyleSheet(
            QStringLiteral("QHeaderView::section { background: %1; color: %2; border: none; "
                           "padding-left: 3px; font-weight: bold; }")
                .arg(ColorFromSkin(skin->GetLong("HistoryPanel", "bkcolor")).name(),
                     ColorFromSkin(skin->GetLong("HistoryCaption", "text_color")).name()));
    }
    diff_->setFocusPolicy(Qt::NoFocus);
    progress_ = new CSkinProgress(manager_, "HistoryProgress");
    progress_->Create(panel_, 0, true);
    progress_->hide();
    panel_->hide();
    OnDisconnected();
}

std::vector<QWidget*> CHistoryView::TabChain() const {
    std::vector<QWidget*> chain{list_};
    for (CSkinButton* key : keys_) {
        chain.push_back(key);
    }
    return chain;
}

void CHistoryView::SetVisible(bool visible) {
    visible_ = visible;
    list_->setVisible(visible);
    for (CSkinButton* key : keys_) {
        key->setVisible(visible);
    }
    panel_->setVisible(visible);
    if (visible) {
        panel_->raise();
        FillList();
    }
}

QString CHistoryView::Caption() const {
    return caption_ != nullptr ? caption_->Caption() : QString();
}

void CHistoryView::ShowCaption(const QString& text) {
    caption_->SetCaption(text);
}

SnapshotOrigin CHistoryView::Origin() const {
    return LocalOrigin::Now("solvei-remote", address_);
}

void CHistoryView::OnConnected(const std::string& processor, const std::string& address,
                               int lockCode, std::chrono::milliseconds quietLimit) {
    Stop();
    link_->Reset(lockCode, quietLimit);
    connected_ = true;
    address_ = address;
    shelf_.SetProcessor(processor);
    ShowCaption(Q("Snapshots of " + processor + ": choose one to compare it with the processor"));
    diff_->clear();
    FillList();
    UpdateKeys();
}

void CHistoryView::OnDisconnected() {
    Stop();
    connected_ = false;
    diff_->clear();
    progress_->hide();
    ShowCaption(
        Q(shelf_.Processor().empty()
              ? std::string("Not connected: snapshot files can be imported")
              : "Not connected: snapshots of " + shelf_.Processor() + "; EXPORT and IMPORT only"));
    FillList();
    UpdateKeys();
}

void CHistoryView::Stop() {
    if (!worker_.joinable()) {
        return;
    }
    link_->Abort();
    worker_.join();
    if (progress_ != nullptr) {
        progress_->hide();
    }
    if (host_.busy) {
        host_.busy(false);
    }
}

void CHistoryView::UpdateKeys() {
    const bool busy = IsBusy();
    const bool chosen = list_->currentItem() != nullptr && !list_->selectedItems().isEmpty();
    keys_[kTake]->setEnabled(connected_ && !busy);
    keys_[kRestore]->setEnabled(connected_ && !busy && chosen);
    keys_[kExport]->setEnabled(!busy && chosen);
    keys_[kImport]->setEnabled(!busy);
    list_->setEnabled(!busy);
    for (CSkinButton* key : keys_) {
        key->update();
    }
}

void CHistoryView::FillList(const std::string& select) {
    const QSignalBlocker quiet(list_);
    list_->clear();
    QTreeWidgetItem* chosen = nullptr;
    for (const SnapshotShelf::Entry& entry : shelf_.List()) {
        auto* item = new QTreeWidgetItem(list_, {Q(entry.when.substr(5, 11)), Q(entry.note)});
        item->setData(0, kPathRole, Q(entry.file.string()));
        item->setToolTip(0, Q(entry.when));
        item->setToolTip(1, Q(entry.note));
        if (!select.empty() && entry.file.string() == select) {
            chosen = item;
        }
    }
    if (chosen != nullptr) {
        list_->setCurrentItem(chosen);
        chosen->setSelected(true);
    }
    UpdateKeys();
}

void CHistoryView::Run(const QString& what, Work work, std::function<void()> done) {
    if (IsBusy()) {
        return;
    }
    if (host_.busy) {
        host_.busy(true);
    }
    ShowCaption(what);
    progress_->SetPos(0);
    progress_->show();
    worker_ = std::thread([this, work = std::move(work), done = std::move(done)] {
        work();
        QMetaObject::invokeMethod(
            this,
            [this, done] {
                if (worker_.joinable()) {
                    worker_.join();
                }
                progress_->hide();
                if (host_.busy) {
                    host_.busy(false);
                }
                UpdateKeys();
                done();
            },
            Qt::QueuedConnection);
    });
    UpdateKeys();
}

void CHistoryView::OnProgress(const std::string& what, int done, int total) {
    if (total > 0) {
        progress_->SetPos(progress_->Count() * done / total);
    }
    ShowCaption(Q("Reading the processor: " + what + " " + std::to_string(done) + " of " +
                  std::to_string(total)));
}

namespace {
// Progress told from the worker, shown on the window's thread.
CSnapshotTaker::Progress PostedProgress(CHistoryView* view,
                                        void (CHistoryView::*show)(const std::string&, int, int)) {
    return [view, show](const std::string& what, int done, int total) {
        QMetaObject::invokeMethod(
            view, [view, show, what, done, total] { (view->*show)(what, done, total); },
            Qt::QueuedConnection);
    };
}
} // namespace

void CHistoryView::OnTake() {
    if (!connected_ || IsBusy()) {
        return;
    }
    const std::optional<std::string> note =
        dialogs_.AskNote("A note for the snapshot (may stay empty):", "Take a snapshot");
    if (!note) {
        return;
    }
    const SnapshotOrigin origin = Origin();
    Run(
        QStringLiteral("Taking a snapshot"),
        [this, origin] {
            CSnapshotTaker taker(*link_, PostedProgress(this, &CHistoryView::OnProgress));
            taken_ = Snapshot{};
            takeOutcome_ = taker.Take(origin, taken_);
        },
        [this, note = *note] {
            if (takeOutcome_.result != ISnapshotLink::Result::Ok) {
                ShowCaption(
                    Q("No snapshot: the processor did not answer " + takeOutcome_.failedStep));
                return;
            }
            std::string error;
            const auto entry = shelf_.Keep(taken_, note, error);
            if (!entry) {
                dialogs_.Show(error, "Snapshot", IMessageBox::Icon::Error);
                ShowCaption(QStringLiteral("The snapshot was not kept"));
                return;
            }
            host_.status("Snapshot taken: " + entry->when);
            FillList(entry->file.string());
            ShowDifferences(taken_, taken_, Q(entry->when));
        });
}

void CHistoryView::KeepAutomatic(const Snapshot& snapshot, const std::string& note) {
    std::string error;
    if (!shelf_.Keep(snapshot, note, error)) {
        host_.log("The automatic snapshot was not kept: " + error);
    }
}

void CHistoryView::TakeAutomatic(const std::string& note, std::function<void()> then) {
    if (!connected_ || IsBusy()) {
        then();
        return;
    }
    const SnapshotOrigin origin = Origin();
    Run(
        QStringLiteral("Taking a snapshot first"),
        [this, origin] {
            CSnapshotTaker taker(*link_, PostedProgress(this, &CHistoryView::OnProgress));
            taken_ = Snapshot{};
            takeOutcome_ = taker.Take(origin, taken_);
        },
        [this, note, then = std::move(then)] {
            if (takeOutcome_.result == ISnapshotLink::Result::Ok) {
                KeepAutomatic(taken_, note);
                ShowCaption(Q("Snapshot taken: " + note));
            } else {
                host_.status("No snapshot could be taken first: the processor did not answer " +
                             takeOutcome_.failedStep);
            }
            if (visible_) {
                FillList();
            }
            then();
        });
}

std::optional<Snapshot> CHistoryView::LoadSelected(std::string& when) {
    const QList<QTreeWidgetItem*> chosen = list_->selectedItems();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    when = chosen.front()->toolTip(0).toStdString();
    chosenFile_ = chosen.front()->data(0, kPathRole).toString().toStdString();
    std::string error;
    auto snapshot =
        SnapshotFile::Load(chosen.front()->data(0, kPathRole).toString().toStdString(), error);
    if (!snapshot) {
        dialogs_.Show(error, "Snapshot", IMessageBox::Icon::Error);
    }
    return snapshot;
}

void CHistoryView::OnSelected() {
    UpdateKeys();
    if (!connected_ || IsBusy()) {
        return;
    }
    std::string when;
    auto then = LoadSelected(when);
    if (!then) {
        return;
    }
    const SnapshotOrigin origin = Origin();
    Run(
        QStringLiteral("Reading the processor to compare"),
        [this, origin] {
            CSnapshotTaker taker(*link_, PostedProgress(this, &CHistoryView::OnProgress));
            taken_ = Snapshot{};
            takeOutcome_ = taker.Take(origin, taken_);
        },
        [this, then = std::move(*then), when] {
            if (takeOutcome_.result != ISnapshotLink::Result::Ok) {
                ShowCaption(
                    Q("No comparison: the processor did not answer " + takeOutcome_.failedStep));
                return;
            }
            ShowDifferences(then, taken_, Q(when));
        });
}

void CHistoryView::ShowDifferences(const Snapshot& then, const Snapshot& now, const QString& when) {
    diff_->clear();
    const std::vector<SnapshotDiffRow> rows = SnapshotDiffRows(then, now);
    for (const SnapshotDiffRow& row : rows) {
        auto* item = new QTreeWidgetItem(diff_, {Q(row.what), Q(row.then), Q(row.now)});
        item->setToolTip(0, Q(row.what));
    }
    // "Now" is the moment the processor was read: said, since it may change after.
    const QString readAt = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    ShowCaption(rows.empty()
                    ? QStringLiteral("Read at %1: the processor is as on %2").arg(readAt, when)
                    : QStringLiteral("Read at %1: %2 difference%3 since %4, then and now")
                          .arg(readAt)
                          .arg(rows.size())
                          .arg(rows.size() == 1 ? "" : "s")
                          .arg(when));
}

void CHistoryView::OnRestore() {
    if (!connected_ || IsBusy()) {
        return;
    }
    std::string when;
    auto target = LoadSelected(when);
    if (!target) {
        return;
    }
    // What the processor holds now: the plan is made from it, and it is kept as the
    // snapshot before the restore once the operator agrees.
    const SnapshotOrigin origin = Origin();
    Run(
        QStringLiteral("Reading the processor before the restore"),
        [this, origin] {
            CSnapshotTaker taker(*link_, PostedProgress(this, &CHistoryView::OnProgress));
            taken_ = Snapshot{};
            takeOutcome_ = taker.Take(origin, taken_);
        },
        [this, target = std::move(*target), when] {
            if (takeOutcome_.result != ISnapshotLink::Result::Ok) {
                ShowCaption(
                    Q("Nothing restored: the processor did not answer " + takeOutcome_.failedStep));
                return;
            }
            Apply(target, when, taken_);
        });
}

void CHistoryView::Apply(const Snapshot& target, const std::string& when, Snapshot live) {
    ShowDifferences(target, live, Q(when));
    if (target.type != live.type) {
        dialogs_.Show("The snapshot is of another processor type (" + std::to_string(target.type) +
                          ", this one is " + std::to_string(live.type) + "). Nothing was written.",
                      "Restore", IMessageBox::Icon::Error);
        return;
    }
    const auto scope = CSnapshotRestorer::Scope::Everything;
    const CSnapshotRestorer::Plan plan = CSnapshotRestorer::MakePlan(target, live, scope);
    if (plan.writes.empty() && plan.sends.empty()) {
        dialogs_.Show("Nothing to restore: the processor holds the settings of the snapshot of " +
                          when + ".",
                      "Restore", IMessageBox::Icon::Information);
        return;
    }
    std::string question = "Restore the snapshot of " + when + " on " + shelf_.Processor() + "? " +
                           Plural(plan.writes.size(), "parameter") + " and " +
                           Plural(plan.sends.size(), "preset") + " will be written.";
    if (target.description != live.description) {
        question += " The snapshot was taken with another control description (" + target.version +
                    ", now " + live.version + ").";
    }
    if (!dialogs_.Ask(question, "Restore")) {
        ShowCaption(QStringLiteral("Not restored"));
        return;
    }
    KeepAutomatic(live, "Before restoring the snapshot of " + when);
    const SnapshotOrigin origin = Origin();
    Run(
        QStringLiteral("Restoring"),
        [this, target, plan, scope, origin] {
            CSnapshotRestorer restorer(
                *link_, [this](const std::string& what, int done, int total) {
                    QMetaObject::invokeMethod(
                        this,
                        [this, what, done, total] {
                            progress_->SetPos(total > 0 ? progress_->Count() * done / total : 0);
                            ShowCaption(Q("Restoring: " + what + " " + std::to_string(done) +
                                          " of " + std::to_string(total)));
                        },
                        Qt::QueuedConnection);
                });
            restoreOutcome_ = restorer.Apply(target, plan, scope, origin);
        },
        [this, target, plan, when, file = chosenFile_] {
            // The snapshot restored stays chosen, under the one taken before the restore.
            FillList(file);
            const CSnapshotRestorer::Outcome& outcome = restoreOutcome_;
            // Whatever was written, the window shows what the processor holds now.
            host_.readValuesAgain();
            for (const CSnapshotRestorer::Send& send : plan.sends) {
                host_.readPresetAgain(send.target.number);
            }
            if (outcome.result != ISnapshotLink::Result::Ok) {
                ShowCaption(
                    Q("The restore stopped: the processor did not answer " + outcome.failedStep));
                dialogs_.Show("The restore stopped at " + outcome.failedStep +
                                  ": the processor did not answer. What was written before "
                                  "stays written.",
                              "Restore", IMessageBox::Icon::Error);
                return;
            }
            ShowDifferences(target, outcome.after, Q(when));
            std::string text;
            if (outcome.notKept.empty()) {
                text = "Restored " + Plural(plan.writes.size(), "parameter") + " and " +
                       Plural(plan.sends.size(), "preset") + "; they read back as in the snapshot.";
            } else {
                text = "The processor did not keep:";
                for (const std::string& line : outcome.notKept) {
                    text += "\n" + line;
                }
            }
            if (outcome.after.current != target.current) {
                text += "\nLeft as it is: the preset on air, " +
                        SnapshotDiff::PresetText(outcome.after.current) + ".";
            }
            if (outcome.after.bypass != target.bypass) {
                text += std::string("\nLeft as it is: bypass ") +
                        (outcome.after.bypass ? "on" : "off") + ".";
            }
            host_.log(text);
            dialogs_.Show(text, "Restore",
                          outcome.notKept.empty() ? IMessageBox::Icon::Information
                                                  : IMessageBox::Icon::Warning);
        });
}

void CHistoryView::OnExport() {
    const QList<QTreeWidgetItem*> chosen = list_->selectedItems();
    if (chosen.isEmpty()) {
        return;
    }
    const std::filesystem::path from = chosen.front()->data(0, kPathRole).toString().toStdString();
    const std::string suggested =
        SnapshotShelf::SafeName(shelf_.Processor()) + "-" + from.stem().string() + ".json";
    const auto to = dialogs_.ChooseSaveFile(kFileFilter, suggested);
    if (!to) {
        return;
    }
    std::string error;
    const auto snapshot = SnapshotFile::Load(from.string(), error);
    if (!snapshot || !SnapshotFile::Save(*snapshot, *to, error)) {
        dialogs_.Show(error, "Export", IMessageBox::Icon::Error);
        return;
    }
    host_.status("Snapshot exported to " + *to);
}

void CHistoryView::OnImport() {
    const auto from = dialogs_.ChooseOpenFile(kFileFilter);
    if (!from) {
        return;
    }
    std::string error;
    const auto snapshot = SnapshotFile::Load(*from, error);
    if (!snapshot) {
        dialogs_.Show(error, "Import", IMessageBox::Icon::Error);
        return;
    }
    if (shelf_.Processor().empty()) {
        shelf_.SetProcessor(snapshot->origin.processor);
    }
    const auto entry = shelf_.Keep(
        *snapshot, "Imported from " + std::filesystem::path(*from).filename().string(), error);
    if (!entry) {
        dialogs_.Show(error, "Import", IMessageBox::Icon::Error);
        return;
    }
    host_.status("Snapshot imported from " + *from);
    FillList(entry->file.string());
}
