#include <string>

#include <QImage>
#include <QWidget>

#include <benchmark/benchmark.h>

#include "app/CLedPanel.h"
#include "skin/CSkinManager.h"
#include "skin/IMessageBox.h"

namespace {

class SilentBoxes : public IMessageBox {
public:
    void Show(const std::string&, const std::string&, Icon) override {}
};

// The shipped skin's meter panel on a type-3 processor with every row at full scale and a
// peak mark: 256 segment copies per frame.
struct ShippedPanel {
    ShippedPanel() : manager(SOLVEI_SHIPPED_SKINS, std::string(), boxes) {
        manager.ChangeSkin("Solvei");
        parent.resize(940, 612);
        panel.Create(&parent);
        panel.SetProcessorType(3);
        ByteString reply(29, 0);
        reply[0] = 0x06;
        reply[1] = 0x82;
        for (int r = 0; r < 8; ++r) {
            reply[static_cast<std::size_t>(6 + 2 * r)] =
                static_cast<std::uint8_t>((r % 4) << 6 | 40);
            reply[static_cast<std::size_t>(7 + 2 * r)] = 50;
        }
        panel.SetData(reply);
        panel.SetBackground("background_io");
    }

    SilentBoxes boxes;
    CSkinManager manager;
    QWidget parent;
    CLedPanel panel{&manager};
};

// The panel's own work per paint: background and 256 segments into the off-screen image.
void BM_LedPanelRenderFrame(benchmark::State& state) {
    ShippedPanel shipped;
    for (auto _ : state) {
        benchmark::DoNotOptimize(shipped.panel.RenderFrame().constBits());
    }
    state.SetItemsProcessed(state.iterations() * 256);
}
BENCHMARK(BM_LedPanelRenderFrame)->Unit(benchmark::kMicrosecond);

// A whole paint as Qt runs it: the paint event with its frame, drawn into a widget image.
void BM_LedPanelPaintEvent(benchmark::State& state) {
    ShippedPanel shipped;
    QImage target(shipped.panel.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        shipped.panel.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_LedPanelPaintEvent)->Unit(benchmark::kMicrosecond);

} // namespace
