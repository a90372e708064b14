#include "pages/CPageTree.h"

#include <QCoreApplication>

namespace {

constexpr auto kPageSelectedEvent = static_cast<QEvent::Type>(CPageTree::kPageSelectedMessage);
static_assert(CPageTree::kPageSelectedMessage >= QEvent::User &&
              CPageTree::kPageSelectedMessage <= QEvent::MaxUser);

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CPageTree::CPageTree(CSkinManager* manager, std::string section)
    : CSkinTree(std::move(section), manager) {
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CPageTree::OnSelectionChanged);
}

CPageTree::~CPageTree() = default;

void CPageTree::Build(std::shared_ptr<ControlNode> root) {
    clear();
    Reset();
    root_ = std::move(root);
    if (root_) {
        BuildPageTree(*root_, nullptr, std::string());
    }
}

void CPageTree::Reset() {
    pages_.clear();
    // Fallbacks point back to pages of this build only.
    lastUnconditional_ = 0;
}

void CPageTree::BuildPageTree(const ControlNode& node, QTreeWidgetItem* parent,
                              const std::string& parentPath) {
    if (node.name.empty()) {
        for (const auto& child : node.children) {
            BuildPageTree(*child, parent, parentPath);
        }
        return;
    }
    const std::string path = parentPath.empty() ? node.name : parentPath + " > " + node.name;
    const int index = static_cast<int>(pages_.size());
    QTreeWidgetItem* item = nullptr;
    if (node.hidden == 0) {
        item = new QTreeWidgetItem(QStringList{Latin1(node.name)});
        item->setData(0, Qt::UserRole, index);
        if (parent != nullptr) {
            parent->addChild(item);
        } else {
            addTopLevelItem(item);
        }
    }
    Page page;
    page.item = item;
    page.node = &node;
    page.path = path;
    page.hidden = node.hidden != 0;
    page.hasSets = !node.sets.empty();
    if (node.hasCondition != 0) {
        page.fallback = lastUnconditional_;
    } else {
        page.fallback = index;
        lastUnconditional_ = index;
    }
    pages_.push_back(page);

    // A hidden node's children stand at the top level.
    for (const auto& child : node.children) {
        BuildPageTree(*child, item, path);
    }
    if (item != nullptr) {
        item->setExpanded(true);
    }
}

const CPageTree::Page* CPageTree::Lookup(int index) const {
    if (index < 0 || index >= PageCount()) {
        return nullptr;
    }
    return &pages_[static_cast<std::size_t>(index)];
}

int CPageTree::IndexOf(const QTreeWidgetItem* item) const {
    if (item == nullptr) {
        return -1;
    }
    bool ok = false;
    const int index = item->data(0, Qt::UserRole).toInt(&ok);
    const Page* page = ok ? Lookup(index) : nullptr;
    return page != nullptr && page->item == item ? index : -1;
}

void CPageTree::SelectFirstItem() {
    QTreeWidgetItem* first = topLevelItem(0);
    if (first == nullptr) {
        return;
    }
    // Page 0 is open already; a first item of another page opens that page instead.
    lastOpened_ = 0;
    setCurrentItem(first);
}

void CPageTree::SelectPage(int index) {
    const Page* page = Lookup(index);
    // A group without sets would hand its selection on to its first child and open that.
    if (page == nullptr || page->item == nullptr || !page->hasSets) {
        return;
    }
    lastOpened_ = index;
    setCurrentItem(page->item);
}

void CPageTree::OnSelectionChanged() {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    QTreeWidgetItem* item = selected.isEmpty() ? nullptr : selected.front();
    const Page* page = Lookup(IndexOf(item));
    if (page != nullptr && !page->hasSets && item->isExpanded() && item->childCount() > 0) {
        // A group without a page of its own opens its first child (a new selection change).
        setCurrentItem(item->child(0));
    }
    QCoreApplication::postEvent(this, new QEvent(kPageSelectedEvent));
}

bool CPageTree::event(QEvent* event) {
    if (event->type() == kPageSelectedEvent) {
        OnPageSelected();
        return true;
    }
    return CSkinTree::event(event);
}

bool CPageTree::focusNextPrevChild(bool next) {
    if (next && tabOut_ && tabOut_()) {
        return true;
    }
    return CSkinTree::focusNextPrevChild(next);
}

void CPageTree::OnPageSelected() {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    const int index = IndexOf(selected.isEmpty() ? nullptr : selected.front());
    const Page* page = Lookup(index);
    if (page == nullptr || !page->hasSets || index == lastOpened_) {
        return;
    }
    lastOpened_ = index;
    if (callback_) {
        callback_(index, true);
    }
    emit pageOpened(index);
}
