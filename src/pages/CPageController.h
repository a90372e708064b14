#pragma once

#include <memory>
#include <vector>

#include <QPointer>

#include "description/ControlNode.h"
#include "pages/PageContext.h"
#include "pages/PresetNameField.h"

class CPageTree;
class IPageHost;
class ParameterModel;
class ParameterPage;

// Shows the processor's pages in the main window: builds the page chosen in the page tree,
// fills it one read at a time through the parameter model, keeps compare mode on it, and
// rebuilds the tree or the page when visibility changes.
//
// How the main window uses it (it owns the model, the tree and this controller):
//   - tree.SetPageCallback([&](int i, bool r) { pages.OnTreePage(i, r); }) once;
//   - when a connection starts: model.OnConnectStarted(); pages.OnConnectStarted();
//   - when a description is loaded: pages.OnDescriptionLoaded(root) (it hands the root to
//     the model, which starts the initial read);
//   - IParameterModelHost::OnPageRefreshed / RebuildPageTree / RebuildCurrentPage forward to
//     the methods of the same names here;
//   - "BtnA"/"BtnB": ShowPage(CurrentIndex(), false), then SetCompareMode(false/true);
//   - offline view: DestroyPage(); a changed preset list: FillPresetNames().
class CPageController {
public:
    CPageController(IPageHost& host, ParameterModel& model, CPageTree& tree, CSkinManager* skin,
                    PageClock clock = SteadyMilliseconds);
    ~CPageController();
    CPageController(const CPageController&) = delete;
    CPageController& operator=(const CPageController&) = delete;

    // The next page-tree rebuild opens page 0 and selects the first top-level item.
    void OnConnectStarted();
    // Hides the tree, inserts the new description's pages and starts the model's initial
    // read of every set.
    void OnDescriptionLoaded(std::shared_ptr<ControlNode> root);

    // Shows the page of that tree index. With rebuild the page is built anew (hidden, with
    // compare mode while "BtnB" is latched); then its controls are read one by one and the
    // page appears after the last. Nothing but hiding the settings panel while offline.
    void ShowPage(int index, bool rebuild);
    // A page chosen in the tree. While the page shown is still being read (a slow or lossy
    // link) the choice is kept and opened once the read ends, so no click is lost; the tree
    // shows a busy pointer meanwhile.
    void OnTreePage(int index, bool rebuild);
    [[nodiscard]] bool IsReading() const { return reading_; }
    [[nodiscard]] int PendingPage() const { return pending_; }
    // Compare side B disables the controls of the parameters compare switches.
    void SetCompareMode(bool compare);
    void StartPageRefresh();
    // Every control has its value: show the page, enable the tree.
    void OnPageRefreshed();
    // Visibility changed pages: the tree is built again (and page 0 opened on the first
    // rebuild after a connection).
    void RebuildPageTree();
    // Visibility changed sets: the current page (or its fallback, when hidden) is rebuilt.
    void RebuildCurrentPage();
    // Destroys the page (offline view).
    void DestroyPage();
    // Gives every preset-name field "Off" and the host's preset names.
    void FillPresetNames();

    [[nodiscard]] int CurrentIndex() const { return current_; }
    [[nodiscard]] ParameterPage* Page() const { return page_.get(); }
    [[nodiscard]] const PresetNameFields& PresetFields() const { return presetFields_; }
    [[nodiscard]] bool CompareMode() const { return compare_; }

private:
    void ClearPageLists();

    IPageHost& host_;
    ParameterModel& model_;
    CPageTree& tree_;
    PageContext context_;
    std::unique_ptr<ParameterPage> page_;
    PresetNameFields presetFields_;
    int current_ = 0;
    bool firstRebuild_ = false;
    bool reading_ = false;
    int pending_ = -1;
    // The place in the page's keyboard order of the control that had the focus when the
    // page went to be built again (-1: none); it gets the focus back once the page shows.
    int refocusPlace_ = -1;
    bool compare_ = false;
};
