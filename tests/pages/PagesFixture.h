#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QWidget>

#include "description/DescriptionFixtures.h"
#include "description/IParameterLink.h"
#include "description/IParameterLog.h"
#include "description/IParameterModelHost.h"
#include "description/ParameterModel.h"
#include "pages/CPageController.h"
#include "pages/CPageTree.h"
#include "pages/IPageHost.h"
#include "pages/PageBuilder.h"
#include "pages/ParameterPage.h"
#include "widgets/SkinFixture.h"

// A link that records what the model sends; it is up unless told otherwise.
class RecordingLink : public IParameterLink {
public:
    struct Write {
        ParamAddress address;
        std::uint8_t value;
        std::int64_t atMs;
    };
    bool IsConnected() const override { return connected; }
    void ReadParameter(const ParamAddress& address) override { reads.push_back(address); }
    void WriteParameter(const ParamAddress& address, std::uint8_t value) override {
        writes.push_back({address, value, clockMs != nullptr ? *clockMs : 0});
    }
    void SetPolling(bool on) override { polling = on; }

    bool connected = true;
    bool polling = false;
    const std::int64_t* clockMs = nullptr;
    std::vector<ParamAddress> reads;
    std::vector<Write> writes;
};

class RecordingLog : public IParameterLog {
public:
    void Log(const std::string& line) override { lines.push_back(line); }
    [[nodiscard]] int Count(const std::string& line) const {
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }
    std::vector<std::string> lines;
};

// A skin whose sizes the tests can count on: a 628 x 362 page, a caption line 600 x 20,
// separators 14 x 16 two pixels down, spin arrows 20 pixels wide at the right edge (a spin
// 120 wide has a text rectangle 100 wide), keys 30 x 16.
inline bool LoadPageSkin(SkinFixture& skin) {
    skin.Image("page.bmp", Filled(628, 362, QColor(30, 34, 38)));
    skin.Image("sep.bmp", Filled(14, 16, QColor(200, 120, 20)));
    skin.Image("track.bmp", Filled(40, 20, QColor(60, 60, 60)));
    skin.Image("thumb.bmp", Filled(20, 8, QColor(220, 220, 220)));
    skin.Image("arrow.bmp", Filled(20, 10, QColor(120, 120, 120)));
    skin.Image("body.bmp", Filled(40, 20, QColor(10, 10, 10)));
    skin.Image("key.bmp", Filled(30, 16, QColor(90, 90, 90)));
    skin.Image("frame.bmp", Filled(40, 40, QColor(50, 50, 50)));
    return skin.Load(R"(
IMAGE(PPage::background, "page.bmp")
LONG(FrameCaption::width, 600) LONG(FrameCaption::height, 20)
STRING(FrameCaption::font, "DejaVu Sans") LONG(FrameCaption::font_height, 12)
LONG(FrameCaption::font_alignment, 36)
IMAGE(Separator::background, "sep.bmp") LONG(Separator::offset_top, 2)
LONG(Separator::width, 14) LONG(Separator::height, 16)
STRING(SliderCaption::font, "DejaVu Sans") LONG(SliderCaption::font_height, 10)
STRING(SliderValue::font, "DejaVu Sans") LONG(SliderValue::font_height, 12)
IMAGE(Slider::background, "track.bmp") LONG(Slider::resize_line_y, 10)
IMAGE(Slider::up, "thumb.bmp") IMAGE(Slider::down, "thumb.bmp")
LONG(Slider::thumb_center, 4) LONG(Slider::offset_top, 10) LONG(Slider::offset_bottom, 10)
IMAGE(Spin::background, "body.bmp") LONG(Spin::resize_line_x, 20) LONG(Spin::resize_line_y, 10)
IMAGE(Spin::up_up, "arrow.bmp") IMAGE(Spin::down_up, "arrow.bmp")
STRING(SpinEdit::font, "DejaVu Sans Mono") LONG(SpinEdit::font_height, 12)
IMAGE(ButtonGroup::background, "frame.bmp") LONG(ButtonGroup::resize_line_x, 20)
LONG(ButtonGroup::resize_line_y, 20)
LONG(ButtonGroup::buttons_ofs_left, 4) LONG(ButtonGroup::buttons_ofs_top, 16)
LONG(ButtonGroup::buttons_ofs_right, 4) LONG(ButtonGroup::buttons_ofs_bottom, 4)
IMAGE(Button::up, "key.bmp") IMAGE(Button::down, "key.bmp") LONG(Button::rgn_rect, 1)
LONG(Button::resize_line_x, 15) LONG(Button::resize_line_y, 8) LONG(Button::draw_text, 1)
STRING(Button::font, "DejaVu Sans") LONG(Button::font_height, 11)
LONG(Button::x_margin, 8) LONG(Button::y_margin, 4)
LONG(Tree::width, 200) LONG(Tree::height, 300)
)");
}

// The main window as the pages see it: a plain widget with a page area, two latched keys and
// a preset list; it also forwards the model's page work to the controller.
class TestPageHost : public IPageHost, public IParameterModelHost {
public:
    QWidget* PageParent() override { return &window; }
    QRect PageArea() const override { return QRect(284, 226, 628, 362); }
    QFont WindowFont() const override { return window.font(); }
    bool IsCompareLatched() const override { return compareLatched; }
    bool IsTreeLatched() const override { return treeLatched; }
    void HideSettingsPanel() override { ++settingsHidden; }
    std::vector<std::string> PresetNames() const override { return presetNames; }

    void OnPageRefreshed() override {
        if (pages != nullptr) {
            pages->OnPageRefreshed();
        }
    }
    void RebuildPageTree() override {
        if (pages != nullptr) {
            pages->RebuildPageTree();
        }
    }
    void RebuildCurrentPage() override {
        if (pages != nullptr) {
            pages->RebuildCurrentPage();
        }
    }
    bool IsPresetDownloadRunning() const override { return false; }

    QWidget window;
    CPageController* pages = nullptr;
    bool compareLatched = false;
    bool treeLatched = true;
    int settingsHidden = 0;
    std::vector<std::string> presetNames;
};

// The model, the page tree and the controller over the test skin, with a recording link and
// a clock the test steps.
struct PageHarness {
    PageHarness() {
        skinLoaded = LoadPageSkin(skin);
        link.clockMs = &nowMs;
        host.window.resize(940, 612);
        tree.Create(&host.window, 1011);
        pages = std::make_unique<CPageController>(host, model, tree, &skin.manager,
                                                  [this] { return nowMs; });
        host.pages = pages.get();
        tree.SetPageCallback([this](int index, bool rebuild) { pages->OnTreePage(index, rebuild); });
        host.window.show();
    }
    ~PageHarness() {
        host.pages = nullptr;
        pages.reset();
    }

    PageContext Context() {
        PageContext context;
        context.skin = &skin.manager;
        context.model = &model;
        context.registry = &model.Registry();
        context.windowFont = host.window.font();
        context.clock = [this] { return nowMs; };
        return context;
    }

    // Builds the sets of one node as a page on the host window.
    std::unique_ptr<ParameterPage> Build(const ControlNode& node, const std::string& caption) {
        return PageBuilder(Context()).BuildPage(&host.window, QSize(628, 362), &node.sets, caption,
                                                presetFields);
    }

    // Answers every read the link has seen since the last call with the values given by
    // valueOf(address), as the processor would, one at a time.
    template <typename ValueOf> void AnswerReads(ValueOf valueOf) {
        for (std::size_t i = 0; i < link.reads.size(); ++i) {
            const ParamAddress address = link.reads[i];
            model.OnParameterValue(address, valueOf(address));
        }
        link.reads.clear();
    }

    SkinFixture skin;
    bool skinLoaded = false;
    std::int64_t nowMs = 100000;
    RecordingLink link;
    RecordingLog log;
    TestPageHost host;
    ParameterModel model{link, log, host};
    CPageTree tree{&skin.manager};
    PresetNameFields presetFields;
    std::unique_ptr<CPageController> pages;
};

// The controls of a page of one type, in creation order.
template <typename Control> std::vector<Control*> ControlsOf(const ParameterPage& page) {
    std::vector<Control*> found;
    for (const auto& control : page.Controls()) {
        if (auto* typed = dynamic_cast<Control*>(control.get())) {
            found.push_back(typed);
        }
    }
    return found;
}
