#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QEvent>

#include "description/ControlNode.h"
#include "widgets/CSkinTree.h"

// The page tree (skin section "Tree"): one item per named node of the description, each
// with its running index (depth-first pre-order, hidden nodes counted), its path
// ("Group > Page") and its sets. A hidden node gets no item; its children then stand at the
// top level. Selecting an item opens its page through the page callback, once per change:
// a group without sets of its own passes the selection on to its first child.
//
// The bookkeeping is a vector: a description may name any number of nodes, and every one of
// them keeps its index and page.
class CPageTree : public CSkinTree {
    Q_OBJECT
public:
    // The message the tree posts itself after a selection change.
    static constexpr int kPageSelectedMessage = 1147;

    struct Page {
        QTreeWidgetItem* item = nullptr; // none for a hidden node
        const ControlNode* node = nullptr;
        std::string path;
        bool hidden = false; // the node's hidden flag when it was inserted
        bool hasSets = false;
        int fallback = 0; // the page shown instead while this one is hidden
    };
    // Runs with the page index and the rebuild flag (the main window's ShowPage).
    using PageCallback = std::function<void(int index, bool rebuild)>;

    explicit CPageTree(CSkinManager* manager, std::string section = "Tree");
    ~CPageTree() override;

    void SetPageCallback(PageCallback callback) { callback_ = std::move(callback); }
    // Asked when Tab would take the keyboard out of the tree; true when it took the key
    // instead (the page it leads to is not on screen yet).
    using TabOutHook = std::function<bool()>;
    void SetTabOutHook(TabOutHook hook) { tabOut_ = std::move(hook); }

    // Deletes every item, resets the bookkeeping and inserts root's pages. The tree keeps
    // root alive for as long as its items refer to it.
    void Build(std::shared_ptr<ControlNode> root);
    // Inserts node and its descendants under parent with the path of parent.
    void BuildPageTree(const ControlNode& node, QTreeWidgetItem* parent,
                       const std::string& parentPath);
    // Forgets all item data; the next node inserted gets index 0.
    void Reset();

    [[nodiscard]] const Page* Lookup(int index) const;
    [[nodiscard]] int PageCount() const { return static_cast<int>(pages_.size()); }
    [[nodiscard]] int IndexOf(const QTreeWidgetItem* item) const;
    [[nodiscard]] int LastOpened() const { return lastOpened_; }
    // Selects the first top-level item as the page opened from the tree (no callback).
    void SelectFirstItem();
    // Marks the item of an open page as selected after the tree was built anew (no callback);
    // nothing for a page without an item or without sets of its own.
    void SelectPage(int index);

signals:
    // After the page callback ran for a selection.
    void pageOpened(int index);

protected:
    bool event(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void OnSelectionChanged();
    void OnPageSelected();

    std::shared_ptr<ControlNode> root_;
    std::vector<Page> pages_;
    int lastUnconditional_ = 0;
    int lastOpened_ = -1;
    PageCallback callback_;
    TabOutHook tabOut_;
};
