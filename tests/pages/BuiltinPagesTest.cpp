#include <map>
#include <set>
#include <tuple>

#include <QPointer>

#include "link/CLinkEngine.h"
#include "pages/EngineModelLink.h"
#include "pages/PagesFixture.h"
#include "pages/ParamButtonGroup.h"
#include "pages/ParamSlider.h"
#include "pages/ParamSpin.h"
#include "pages/ParamSpinEdit.h"
#include "pages/SimPeer.h"
#include "sim/CSimDescription.h"

namespace {

using Key = std::tuple<int, int, int>;

Key KeyOf(const ParamAddress& a) {
    return {a.a, a.b, a.c};
}

template <typename Done> bool PumpUntil(Done done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

void CollectItems(const ControlNode& node, std::vector<const ParamItem*>& items) {
    for (const auto& set : node.sets) {
        for (const ParamItem& item : set->items) {
            items.push_back(&item);
        }
    }
    for (const auto& child : node.children) {
        CollectItems(*child, items);
    }
}

TEST(BuiltinPages, EveryPageIsFilledFromTheSimulator) {
    SimPeer sim;
    ASSERT_NE(sim.Port(), 0);
    std::string error;
    const auto bytes = CSimDescription::Builtin(error);
    ASSERT_TRUE(bytes) << error;
    ControlDescription description;
    description.Parse(*bytes);
    ASSERT_TRUE(description.Errors().empty());
    const std::shared_ptr<ControlNode> root = description.Root();

    RecordingMessageBox messages;
    CSkinManager skin(SOLVEI_SHIPPED_SKINS, std::string(), messages);
    ASSERT_TRUE(skin.ChangeSkin("Solvei"));

    CLinkEngine* engine = nullptr;
    EngineParameterLink link(engine);
    RecordingLog log;
    TestPageHost host;
    host.presetNames = {"U1: Talk", "U2: Music", "U3: Night"};
    ParameterModel model(link, log, host);
    CPageTree tree(&skin);
    tree.Create(&host.window, 1011);
    CPageController pages(host, model, tree, &skin);
    host.pages = &pages;
    host.window.resize(940, 612);
    host.window.show();
    QObject receiver;
    ModelPostingListener listener(receiver, model);
    auto owned = ConnectEngineToSimulator(listener, sim.Port());
    engine = owned.get();
    ASSERT_TRUE(PumpUntil([&] { return listener.connected; }, 10000));

    // The initial read fills the model with the simulator's values.
    model.OnConnectStarted();
    pages.OnDescriptionLoaded(root);
    ASSERT_TRUE(PumpUntil([&] { return !model.InInitialRead(); }, 10000));

    // Then the processor's values change behind the model's back: every page must show the
    // new ones once it says all its controls are updated.
    std::vector<const ParamItem*> items;
    CollectItems(*root, items);
    std::map<Key, std::uint8_t> expected;
    int k = 0;
    for (const ParamItem* item : items) {
        if (item->address.a == ParamSpinEdit::kClockAddress) {
            continue; // the clock runs on by itself
        }
        const int top = item->kind == ParamItem::PresetName ? 1 : item->span;
        const auto value =
            static_cast<std::uint8_t>(top > 0 ? (item->value + 1 + k++) % (top + 1) : 0);
        expected[KeyOf(item->address)] = value;
        engine->WriteParameter(item->address.a, item->address.b, item->address.c, value);
    }
    ASSERT_TRUE(PumpUntil([&] { return engine->IsIdle(); }, 10000));

    int pagesShown = 0;
    for (int index = 0; index < tree.PageCount(); ++index) {
        const CPageTree::Page* entry = tree.Lookup(index);
        if (!entry->hasSets) {
            continue;
        }
        SCOPED_TRACE(entry->path);
        const int before = log.Count("All Controls Updated");
        pages.ShowPage(index, true);
        ASSERT_TRUE(
            PumpUntil([&] { return log.Count("All Controls Updated") == before + 1; }, 10000));
        ParameterPage* page = pages.Page();
        ASSERT_NE(page, nullptr);
        EXPECT_TRUE(page->isVisible());
        ASSERT_GT(model.Registry().Size(), 0u);
        for (const auto& e : model.Registry().Entries()) {
            const auto it = expected.find(KeyOf(e.item->address));
            if (it == expected.end()) {
                EXPECT_LE(e.item->value, e.item->span);
                continue;
            }
            EXPECT_EQ(e.item->value, it->second) << e.item->name;
            if (auto* slider = dynamic_cast<ParamSlider*>(e.control)) {
                EXPECT_EQ(slider->DeviceValue(), it->second) << e.item->name;
            } else if (auto* group = dynamic_cast<ParamButtonGroup*>(e.control)) {
                EXPECT_EQ(group->Selection(), it->second) << e.item->name;
            } else if (auto* field = dynamic_cast<ParamSpinEdit*>(e.control)) {
                auto* spin = qobject_cast<ParamSpin*>(field->parentWidget());
                ASSERT_NE(spin, nullptr);
                EXPECT_EQ(field->Scale().ToDevice(spin->GetValue(field->FieldNumber())), it->second)
                    << e.item->name;
            }
        }
        ++pagesShown;
    }
    EXPECT_GE(pagesShown, 8);
    host.pages = nullptr;
    owned.reset();
    engine = nullptr;
}

} // namespace
