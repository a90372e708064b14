#include <memory>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QObject>

#include <gtest/gtest.h>

#include "app/CLinkEvent.h"
#include "app/CLinkEventPoster.h"
#include "app/LinkMessages.h"

namespace {

// Keeps copies of the link events it receives.
class EventSink : public QObject {
public:
    bool event(QEvent* event) override {
        if (!IsLinkMessage(static_cast<int>(event->type()))) {
            return QObject::event(event);
        }
        auto* link = static_cast<CLinkEvent*>(event);
        received.push_back({link->Message(), link->Number(), link->Bytes(), link->Text()});
        return true;
    }

    struct Received {
        int message;
        std::uint32_t number;
        ByteString bytes;
        std::string text;
    };
    std::vector<Received> received;
};

TEST(LinkEventPosterTest, EveryCallPostsItsMessageWithOwnedCopies) {
    EventSink sink;
    CLinkEventPoster poster(&sink);
    {
        // The caller's data goes away before the events are handled.
        ByteString leds(29, 0x42);
        std::string version = "123";
        std::thread linkThread([&] {
            poster.OnConnected();
            poster.OnVersion(version);
            poster.OnParameter(1, 2, 3, 200);
            poster.OnLeds(leds);
            poster.OnFactoryPresetNumber(12);
            poster.OnPreset(10, ByteString{'A', 0});
            poster.OnBypass(1);
            poster.OnError(-1);
            poster.OnTransferFailed(0x85);
        });
        linkThread.join();
    }
    QCoreApplication::sendPostedEvents(&sink);
    std::vector<int> messages;
    for (const auto& r : sink.received) {
        messages.push_back(r.message);
    }
    EXPECT_EQ(messages, (std::vector<int>{WM_LINK_LOG, WM_LINK_CONNECTED, WM_LINK_VERSION,
                                          WM_LINK_PARAMETER, WM_LINK_LEDS, WM_LINK_FACTORY_PRESET,
                                          WM_LINK_PRESET, WM_LINK_BYPASS, WM_LINK_LOG,
                                          WM_LINK_DISCONNECTED, WM_LINK_TRANSFER_FAILED}));
    EXPECT_EQ(sink.received[0].text, "Connected");
    EXPECT_EQ(sink.received[2].text, "123");
    EXPECT_EQ(sink.received[3].number, 1u | 2u << 8 | 3u << 16 | 200u << 24);
    EXPECT_EQ(sink.received[4].bytes, ByteString(29, 0x42));
    EXPECT_EQ(sink.received[5].number, 12u);
    EXPECT_EQ(sink.received[6].number, 10u);
    EXPECT_EQ(sink.received[6].bytes, (ByteString{'A', 0}));
    EXPECT_EQ(sink.received[8].text, "Error: -1");
    EXPECT_EQ(sink.received[10].number, 0x85u);
}

} // namespace
