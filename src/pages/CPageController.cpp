#include "pages/CPageController.h"

#include <algorithm>

#include <QApplication>
#include <QStringList>

#include "description/ParameterModel.h"
#include "pages/CPageTree.h"
#include "pages/IPageHost.h"
#include "pages/PageBuilder.h"
#include "pages/ParamSpin.h"
#include "pages/ParameterPage.h"

namespace {

// The page's controls that Tab reaches, in keyboard order.
std::vector<QWidget*> KeyboardOrder(QWidget* page) {
    std::vector<QWidget*> order;
    for (QWidget* w = page->nextInFocusChain(); w != page && page->isAncestorOf(w);
         w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) != 0) {
            order.push_back(w);
        }
    }
    return order;
}

} // namespace

CPageController::CPageController(IPageHost& host, ParameterModel& model, CPageTree& tree,
                                 CSkinManager* skin, PageClock clock)
    : host_(host), model_(model), tree_(tree) {
    context_.skin = skin;
    context_.model = &model_;
    context_.registry = &model_.Registry();
    context_.clock = std::move(clock);
    // Tab from the tree while the page is still being read (hidden) would skip it and land
    // on the window's first key: the focus waits in the tree and enters the page once shown.
    tree_.SetTabOutHook([this] {
        if (!reading_ || !page_) {
            return false;
        }
        refocusPlace_ = 0;
        return true;
    });
}

CPageController::~CPageController() {
    tree_.SetTabOutHook({});
    DestroyPage();
}

void CPageController::OnConnectStarted() {
    firstRebuild_ = true;
    reading_ = false;
    pending_ = -1;
}

void CPageController::OnTreePage(int index, bool rebuild) {
    if (reading_ && rebuild) {
        pending_ = index;
        return;
    }
    ShowPage(index, rebuild);
}

void CPageController::OnDescriptionLoaded(std::shared_ptr<ControlNode> root) {
    ClearPageLists();
    tree_.hide();
    tree_.Build(root);
    model_.OnDescriptionLoaded(std::move(root));
}

void CPageController::ClearPageLists() {
    model_.Registry().Clear();
    presetFields_.clear();
}

void CPageController::ShowPage(int index, bool rebuild) {
    host_.HideSettingsPanel();
    if (!model_.IsLinkUp()) {
        return;
    }
    current_ = index;
    if (rebuild) {
        // The tree keeps taking clicks while the page is read; they wait for the read's end.
        tree_.setCursor(Qt::BusyCursor);
        if (QWidget* focus = QApplication::focusWidget(); page_ && page_->isAncestorOf(focus)) {
            const auto order = KeyboardOrder(page_.get());
            const auto at = std::find(order.begin(), order.end(), focus);
            refocusPlace_ = at != order.end() ? static_cast<int>(at - order.begin()) : 0;
        }
        page_.reset();
        ClearPageLists();
        const CPageTree::Page* entry = tree_.Lookup(index);
        if (entry != nullptr) {
            context_.windowFont = host_.WindowFont();
            const QRect area = host_.PageArea();
            page_ = PageBuilder(context_).BuildPage(host_.PageParent(), area.size(),
                                                    &entry->node->sets, entry->path, presetFields_);
        }
        if (host_.IsCompareLatched()) {
            SetCompareMode(true);
        }
        if (page_) {
            page_->move(host_.PageArea().topLeft());
            page_->hide();
        }
        FillPresetNames();
    }
    StartPageRefresh();
}

void CPageController::SetCompareMode(bool compare) {
    compare_ = compare;
    model_.Registry().SetCompareMode(compare);
}

void CPageController::StartPageRefresh() {
    reading_ = true;
    model_.StartPageRefresh();
}

void CPageController::OnPageRefreshed() {
    reading_ = false;
    if (page_) {
        page_->show();
        page_->raise();
        if (refocusPlace_ >= 0) {
            const auto order = KeyboardOrder(page_.get());
            if (!order.empty()) {
                order[std::min<std::size_t>(static_cast<std::size_t>(refocusPlace_),
                                            order.size() - 1)]
                    ->setFocus(Qt::OtherFocusReason);
            }
        }
    }
    refocusPlace_ = -1;
    tree_.setEnabled(true);
    tree_.unsetCursor();
    const int next = pending_;
    pending_ = -1;
    if (next >= 0 && next != current_) {
        ShowPage(next, true);
    }
}

void CPageController::RebuildPageTree() {
    // Hiding the tree takes the keyboard from it: it gets it back once it is built again.
    const bool treeHadFocus = QApplication::focusWidget() == &tree_;
    tree_.hide();
    ClearPageLists();
    tree_.Build(model_.Root());
    if (host_.IsTreeLatched()) {
        tree_.show();
    }
    if (firstRebuild_) {
        firstRebuild_ = false;
        ShowPage(0, true);
        tree_.SelectFirstItem();
    } else {
        // The registry went with the old tree: the page shown is built again with the new
        // one (or its fallback, when it is hidden now), so that it stays wired to the model.
        RebuildCurrentPage();
    }
    if (treeHadFocus && tree_.isVisible()) {
        refocusPlace_ = -1;
        tree_.setFocus(Qt::OtherFocusReason);
    }
}

void CPageController::RebuildCurrentPage() {
    int index = current_;
    const CPageTree::Page* page = tree_.Lookup(index);
    if (page != nullptr && page->hidden) {
        index = page->fallback;
    }
    ShowPage(index, true);
    tree_.SelectPage(current_);
}

void CPageController::DestroyPage() {
    ClearPageLists();
    page_.reset();
    reading_ = false;
    pending_ = -1;
    tree_.unsetCursor();
}

void CPageController::FillPresetNames() {
    QStringList names{QStringLiteral("Off")};
    for (const std::string& name : host_.PresetNames()) {
        names.push_back(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    }
    for (const PresetNameField& field : presetFields_) {
        if (field.spin != nullptr) {
            field.spin->SetItems(field.field, names);
        }
    }
}
