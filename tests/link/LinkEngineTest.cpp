#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingListener.h"
#include "ScriptedPeer.h"
#include "link/CConnectionSettings.h"
#include "link/CLinkEngine.h"
#include "link/LinkPacket.h"

namespace {

ByteString Ack(std::initializer_list<std::uint8_t> body) {
    ByteString reply{0x06};
    reply.insert(reply.end(), body);
    reply.push_back(Checksum(reply));
    return reply;
}

ByteString LedReply(std::uint8_t fill) {
    ByteString reply{0x06, 0x82};
    reply.resize(28, fill);
    reply.push_back(Checksum(reply));
    return reply;
}

ByteString XBlock(std::uint8_t number, std::uint8_t fill) {
    ByteString block{0x01, number, static_cast<std::uint8_t>(0xFF - number)};
    block.resize(131, fill);
    block.push_back(Checksum(block));
    return block;
}

// An engine on a scripted channel with reply time-outs of a few tens of milliseconds.
class LinkEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.SetLinkDefaults();
        // Long enough never to expire by accident; the time-out tests shorten it.
        settings.replyTimeoutMs = 60000;
        settings.pollRate = 100;
    }

    void Connect() {
        MakeEngine();
        engine->Connect();
        ASSERT_TRUE(listener.WaitFor("connected"));
        ASSERT_TRUE(listener.WaitUntilUnlocked([&] { return engine->IsState(LinkState::Idle); }));
    }

    void MakeEngine() {
        engine = std::make_unique<CLinkEngine>(&listener, settings);
        engine->SetChannelFactory([this](IChannelSink* sink, const CConnectionSettings&) {
            return peer.MakeChannel(sink);
        });
    }

    // Sends one request and answers it; returns what went out.
    ByteString Exchange(const std::function<void()>& request, const ByteString& reply) {
        const std::size_t before = peer.Sent().size();
        request();
        auto sent = peer.WaitSent(before + 1);
        EXPECT_TRUE(sent.has_value());
        peer.Feed(reply);
        return sent.value_or(ByteString{});
    }

    bool WaitIdle() {
        return listener.WaitUntilUnlocked([&] { return engine->IsState(LinkState::Idle); });
    }

    CConnectionSettings settings;
    RecordingListener listener;
    ScriptedPeer peer;
    std::unique_ptr<CLinkEngine> engine;
};

TEST_F(LinkEngineTest, EachReplyReachesTheListener) {
    Connect();
    struct Case {
        const char* name;
        std::function<void()> request;
        ByteString expectedRequest;
        ByteString reply;
        std::string event;
        int n;
        std::string log;
    };
    const std::vector<Case> cases = {
        {"version", [&] { engine->ReadVersion(); }, BuildReadVersion(), Ack({0x80, 'V', '1', '2'}),
         "version", 0, "Read version"},
        {"parameter", [&] { engine->ReadParameter(1, 2, 3); }, BuildReadParameter(1, 2, 3),
         Ack({0x81, 0x11, 0x22, 0x33, 0x44}), "parameter", 0x44332211, "Read : 01 - 02 - 03"},
        {"leds", [&] { engine->ReadLeds(); }, BuildReadLeds(), LedReply(0x5A), "leds", 0,
         "Read Leds State"},
        {"factory", [&] { engine->GetFactoryPresetNumber(); }, BuildGetFactoryPresetNumber(),
         Ack({0x84, 0x09}), "factory", 9, "Get Factory Preset Number"},
        {"loaded", [&] { engine->LoadPreset(3); }, BuildLoadPreset(3), Ack({0x04, 0x03}), "loaded",
         3, "Load Preset : 03 "},
        {"bypass", [&] { engine->BypassUpdate(1); }, BuildBypassUpdate(1), Ack({0x0B, 0x01}),
         "bypass", 1, "Send Bypass Update : 01 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Exchange(c.request, c.reply), c.expectedRequest);
        ASSERT_TRUE(listener.WaitFor(c.event));
        const auto event = listener.Events(c.event).back();
        EXPECT_EQ(event.n, c.n);
        EXPECT_GE(listener.LogCount(c.log), 1u);
        ASSERT_TRUE(WaitIdle());
    }
    EXPECT_EQ(listener.Events("version").back().text, "V12");
    EXPECT_EQ(listener.Events("leds").back().data, LedReply(0x5A));
    EXPECT_EQ(engine->Tries(), 0);
}

TEST_F(LinkEngineTest, RefusedOrGarbledRepliesRepeatTheRequest) {
    Connect();
    const std::vector<ByteString> bad = {
        {0x15},
        {0x15, 0x15},
        {0x07, 0x80, 1, 2, 3, 0x8D},
        {0x06, 0x80, 1, 2, 3, 0x00},
        {0x06, 0x80},
        {0x06},
        {},
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        const std::size_t before = peer.Sent().size();
        EXPECT_EQ(Exchange([&] { engine->ReadVersion(); }, bad[i]), BuildReadVersion());
        // The repetition goes out before the reply time-out could matter: it is the same
        // packet, with tries counted.
        auto again = peer.WaitSent(before + 2);
        ASSERT_TRUE(again.has_value());
        EXPECT_EQ(*again, BuildReadVersion());
        peer.Feed(Ack({0x80, 'A', 'B', 'C'}));
        ASSERT_TRUE(listener.WaitFor("version", i + 1));
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(engine->Tries(), 0);
    }
    EXPECT_GE(listener.LogCount("Try: 1"), bad.size());
    EXPECT_GE(listener.LogCount("Command retry send - 80 - 80"), bad.size());
    EXPECT_EQ(listener.Count("disconnected"), 0u);
}

TEST_F(LinkEngineTest, SilentProcessorIsGivenUpAfterTenTries) {
    settings.replyTimeoutMs = 40;
    Connect();
    engine->WriteParameter(1, 2, 3, 4);
    ASSERT_TRUE(listener.WaitFor("disconnected"));
    const auto sent = peer.Sent();
    ASSERT_EQ(sent.size(), 10u); // the first transmission and nine repetitions
    for (const auto& p : sent) {
        EXPECT_EQ(p, BuildWriteParameter(1, 2, 3, 4));
    }
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(listener.LogCount("Try: " + std::to_string(i)), 1u) << i;
    }
    EXPECT_EQ(listener.LogCount("Try: 11"), 0u);
    EXPECT_EQ(listener.LogCount("Too many tries. Disconnecting."), 1u);
    EXPECT_EQ(peer.Closes(), 1);
    EXPECT_FALSE(engine->IsConnected());

    // Nothing goes out while disconnected; a new connect starts afresh, its count of tries
    // too: a refusal as its first answer is a first try, not one beyond the limit.
    engine->ReadVersion();
    engine->Connect();
    ASSERT_TRUE(listener.WaitFor("connected", 2));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Exchange([&] { engine->ReadVersion(); }, {0x15}), BuildReadVersion());
    auto again = peer.WaitSent(12);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(*again, BuildReadVersion());
    peer.Feed(Ack({0x80, 1, 2, 3}));
    ASSERT_TRUE(listener.WaitFor("version"));
    EXPECT_EQ(listener.Count("disconnected"), 1u);
    EXPECT_EQ(listener.LogCount("Too many tries. Disconnecting."), 1u);
    EXPECT_TRUE(engine->IsConnected());
}

// A transport failure reported while the engine is in the middle of a step (here: from inside
// the channel's Send) ends the connection; the step must not carry on over the disconnect,
// which would leave the engine connected after the listener was told of the error.
TEST_F(LinkEngineTest, FailureReportedDuringASendEndsTheConnection) {
    struct Case {
        const char* name;
        std::function<void()> request;
        std::size_t failingSend;
        std::optional<ByteString> answerToFirst; // none: the first send times out
    };
    const std::vector<Case> cases = {
        {"first transmission", [&] { engine->ReadVersion(); }, 1, std::nullopt},
        {"repetition after a refusal", [&] { engine->ReadParameter(1, 2, 3); }, 2,
         ByteString{0x15}},
        {"repetition after a time-out", [&] { engine->WriteParameter(1, 2, 3, 4); }, 2,
         std::nullopt},
        {"first block of a transfer", [&] { engine->SendPreset(2, ByteString(200, 0x22)); }, 2,
         Ack({0x02, 0x02})},
    };
    settings.replyTimeoutMs = 30;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t round = listener.Count("disconnected");
        if (!engine) {
            Connect();
        } else {
            engine->Connect();
            ASSERT_TRUE(listener.WaitFor("connected", round + 1));
            ASSERT_TRUE(WaitIdle());
        }
        const std::size_t before = peer.Sent().size();
        peer.failSendAt = before + c.failingSend;
        peer.failSendCode = 113;
        c.request();
        if (c.answerToFirst) {
            ASSERT_TRUE(peer.WaitSent(before + 1).has_value());
            peer.Feed(*c.answerToFirst);
        }
        ASSERT_TRUE(listener.WaitFor("disconnected", round + 1));
        EXPECT_EQ(listener.Events("error").back().n, 113);
        EXPECT_EQ(peer.Closes(), static_cast<int>(round + 1));
        EXPECT_TRUE(listener.WaitUntilUnlocked([&] { return !engine->IsConnected(); }));
        // Nothing goes out on the dead connection, not even a repetition.
        EXPECT_EQ(peer.Sent().size(), before + c.failingSend);
    }
}

// A request made while the reply to another is being handled (by the caller meanwhile, or by
// the listener in answer to it) waits behind what was queued before it.
TEST_F(LinkEngineTest, RequestsGoOutInTheOrderTheyWereMade) {
    Connect();
    for (std::uint8_t i = 0; i < 20; ++i) {
        SCOPED_TRACE(static_cast<int>(i));
        const bool fromListener = i % 2 == 0;
        const std::size_t before = peer.Sent().size();
        engine->ReadVersion();
        ASSERT_TRUE(peer.WaitSent(before + 1).has_value());
        engine->WriteParameter(1, 1, 1, i); // queued behind the read
        listener.SetReaction([&, i, fromListener](const RecordingListener::Event& e) {
            if (fromListener && e.kind == "version") {
                engine->ReadParameter(2, 2, i);
            }
        });
        peer.Feed(Ack({0x80, 1, 2, 3}));
        if (!fromListener) {
            engine->ReadParameter(2, 2, i);
        }
        auto second = peer.WaitSent(before + 2);
        ASSERT_TRUE(second.has_value());
        EXPECT_EQ(*second, BuildWriteParameter(1, 1, 1, i));
        peer.Feed(Ack({0x01, 1, 1, 1, i}));
        auto third = peer.WaitSent(before + 3);
        ASSERT_TRUE(third.has_value());
        EXPECT_EQ(*third, BuildReadParameter(2, 2, i));
        peer.Feed(Ack({0x81, 2, 2, i, 0}));
        ASSERT_TRUE(WaitIdle());
        ASSERT_TRUE(listener.WaitFor("parameter", i + 1u));
        listener.SetReaction(nullptr);
    }
}

TEST_F(LinkEngineTest, WriteBehindAPollIsQueuedAndPollsAreSkippedMeanwhile) {
    Connect();
    engine->SetPolling(true);
    auto poll = peer.WaitSent(1);
    ASSERT_TRUE(poll.has_value());
    EXPECT_EQ(*poll, BuildReadLeds());
    engine->WriteParameter(9, 8, 7, 6);
    // Further poll expiries meet a busy link and are dropped, not queued.
    ASSERT_TRUE(listener.WaitForLog("Skipping Packet"));
    engine->SetPolling(false);
    EXPECT_EQ(peer.Sent().size(), 1u);
    EXPECT_FALSE(engine->IsIdle());
    peer.Feed(LedReply(0x01));
    auto write = peer.WaitSent(2);
    ASSERT_TRUE(write.has_value());
    EXPECT_EQ(*write, BuildWriteParameter(9, 8, 7, 6));
    EXPECT_EQ(listener.LogCount("Uncaching Packet"), 1u);
    EXPECT_EQ(listener.Count("leds"), 1u);
    peer.Feed(Ack({0x01, 9, 8, 7, 6}));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(engine->IsIdle());
    EXPECT_EQ(peer.Sent().size(), 2u);
}

TEST_F(LinkEngineTest, DisconnectAcknowledgementDropsQueuedRequests) {
    Connect();
    engine->SetPolling(true);
    engine->Disconnect();
    auto sent = peer.WaitSent(1);
    ASSERT_TRUE(sent.has_value());
    EXPECT_EQ(*sent, BuildDisconnect());
    EXPECT_EQ(listener.LogCount("Disconnecting."), 1u);
    engine->Compare();
    engine->Revert();
    peer.Feed(Ack({0x00}));
    ASSERT_TRUE(listener.WaitFor("disconnected"));
    EXPECT_EQ(peer.Sent().size(), 1u);
    EXPECT_EQ(peer.Closes(), 1);
    EXPECT_EQ(listener.LogCount("Read Leds State"), 0u); // Disconnect stopped the polling
}

TEST_F(LinkEngineTest, BytesThatArriveWhileIdleAreIgnored) {
    Connect();
    peer.Feed(LedReply(0x02));
    peer.Feed({0x15});
    // The engine takes bytes in the order they came; once the second is logged, both are in.
    ASSERT_TRUE(listener.WaitForLog("Recieved  - 15"));
    EXPECT_TRUE(engine->IsState(LinkState::Idle));
    EXPECT_EQ(listener.Count("leds"), 0u);
    Exchange([&] { engine->GetFactoryPresetNumber(); }, Ack({0x84, 0x02}));
    ASSERT_TRUE(listener.WaitFor("factory"));
    EXPECT_EQ(engine->Tries(), 0);
}

TEST_F(LinkEngineTest, ChannelThatCannotOpenReportsTheError) {
    peer.openError = -1;
    MakeEngine();
    engine->Connect();
    ASSERT_TRUE(listener.WaitFor("error"));
    EXPECT_EQ(listener.Events("error").front().n, -1);
    EXPECT_FALSE(engine->IsConnected());
    engine->ReadVersion();
    EXPECT_TRUE(peer.Sent().empty());
    // A later attempt opens a fresh channel.
    peer.openError = 0;
    engine->Connect();
    ASSERT_TRUE(listener.WaitFor("connected"));
    EXPECT_EQ(peer.Opens(), 2);
}

TEST_F(LinkEngineTest, TransportFailureWhileWaitingDisconnects) {
    Connect();
    engine->ReadVersion();
    ASSERT_TRUE(peer.WaitSent(1).has_value());
    engine->WriteParameter(1, 1, 1, 1);
    peer.Fail(104);
    ASSERT_TRUE(listener.WaitFor("disconnected"));
    EXPECT_EQ(listener.Events("error").front().n, 104);
    EXPECT_EQ(peer.Closes(), 1);
    EXPECT_EQ(peer.Sent().size(), 1u); // the queued write died with the connection
    // The reply that never came is not repeated on a dead link.
    EXPECT_EQ(listener.LogCount("Try: 1"), 0u);
}

TEST_F(LinkEngineTest, LogLinesAreCutAt4096Characters) {
    Connect();
    peer.Feed(ByteString(2000, 0x15));
    ASSERT_TRUE(listener.WaitForLogStartingWith("Recieved "));
    const auto logs = listener.Logs();
    ASSERT_FALSE(logs.empty());
    EXPECT_EQ(logs.back().size(), CLinkEngine::kMaxLogLength);
    EXPECT_EQ(logs.back().rfind("Recieved  - 15 - 15", 0), 0u);
}

// Answers like a processor: acknowledgements, blocks of a description, ACKs of a send.
class ProcessorScript {
public:
    explicit ProcessorScript(int blocks) : blocks_(blocks) {}

    std::optional<ByteString> operator()(const ByteString& p) {
        if (p == BuildGetConfig(1234)) {
            return Ack({0x83});
        }
        if (p == ByteString{'C'} || p == ByteString{0x06} || p == ByteString{0x15}) {
            if (eotSent_) {
                return std::nullopt; // the final ACK is answered by nothing
            }
            if (p == ByteString{0x06} || next_ == 0) {
                ++next_;
            }
            if (next_ > blocks_) {
                eotSent_ = true;
                return ByteString{0x04};
            }
            ByteString block = XBlock(static_cast<std::uint8_t>(next_), 0x30 + next_);
            if (next_ == 2 && !corrupted_) {
                corrupted_ = true; // one bad checksum: refused, then sent again
                block.back() ^= 0xFF;
            }
            return block;
        }
        if (p == BuildSendPreset(5)) {
            return Ack({0x02, 0x05});
        }
        if (p.size() == 132 || p == ByteString{0x04}) {
            received_.push_back(p);
            if (p.size() == 132 && p[1] == 2 && !refused_) {
                refused_ = true; // refuse one block: it must come again
                return ByteString{0x15};
            }
            return ByteString{0x06};
        }
        return std::nullopt;
    }

    std::vector<ByteString> received_;

private:
    int blocks_;
    int next_ = 0;
    bool corrupted_ = false;
    bool eotSent_ = false;
    bool refused_ = false;
};

TEST_F(LinkEngineTest, ReceivesTheDescriptionByXModem) {
    Connect();
    auto script = std::make_shared<ProcessorScript>(3);
    peer.SetResponder([script](const ByteString& p) { return (*script)(p); });
    engine->GetConfig(1234);
    ASSERT_TRUE(listener.WaitFor("config"));
    ByteString expected;
    for (int i = 1; i <= 3; ++i) {
        expected.insert(expected.end(), 128, static_cast<std::uint8_t>(0x30 + i));
    }
    EXPECT_EQ(listener.Events("config").front().data, expected);
    EXPECT_EQ(listener.LogCount("XModem error: Incorrect CRC"), 1u);
    EXPECT_EQ(listener.LogCount("Start Receive Data through XModem Protocol"), 1u);
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(engine->IsActive());
    EXPECT_EQ(peer.Sent().back(), ByteString{0x06}); // the final ACK of the EOT
}

// A request made while a transfer runs (a page reading a parameter while a preset comes in)
// waits for the transfer's end instead of going out between its blocks.
TEST_F(LinkEngineTest, ARequestMadeDuringATransferWaitsForItsEnd) {
    Connect();
    engine->GetPreset(4);
    ASSERT_EQ(peer.WaitSent(1), BuildGetPreset(4));
    peer.Feed(Ack({0x85, 0x04}));
    ASSERT_EQ(peer.WaitSent(2), ByteString{0x43}); // the handshake
    engine->ReadParameter(1, 2, 3);
    peer.Feed(XBlock(1, 0x11));
    ASSERT_EQ(peer.WaitSent(3), ByteString{0x06}) << "the block is acknowledged first";
    engine->ReadParameter(1, 2, 4);
    peer.Feed(ByteString{0x04});
    ASSERT_EQ(peer.WaitSent(4), ByteString{0x06}) << "then the end of the transfer";
    ASSERT_TRUE(listener.WaitFor("preset"));
    EXPECT_EQ(listener.Events("preset").front().data, ByteString(128, 0x11));
    ASSERT_EQ(peer.WaitSent(5), BuildReadParameter(1, 2, 3));
    peer.Feed(Ack({0x81, 1, 2, 3, 9}));
    ASSERT_EQ(peer.WaitSent(6), BuildReadParameter(1, 2, 4));
}

TEST_F(LinkEngineTest, SendsAPresetByXModemAndRepeatsARefusedBlockAtOnce) {
    // A time-out this long would outlast the test's waits: the refused block must be
    // repeated on the NAK itself.
    settings.replyTimeoutMs = 600000;
    Connect();
    auto script = std::make_shared<ProcessorScript>(0);
    peer.SetResponder([script](const ByteString& p) { return (*script)(p); });
    ByteString data(300);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i);
    }
    engine->SendPreset(5, data);
    ASSERT_TRUE(listener.WaitFor("presetSent"));
    const auto event = listener.Events("presetSent").front();
    EXPECT_EQ(event.n, 5);
    EXPECT_EQ(event.data, data);
    ASSERT_TRUE(WaitIdle());
    const auto& got = script->received_;
    ASSERT_EQ(got.size(), 5u); // blocks 1, 2 (refused), 2, 3, EOT
    EXPECT_EQ(got[1], got[2]);
    EXPECT_EQ(got[3][1], 3);
    EXPECT_EQ(ByteString(got[3].begin() + 3 + 44, got[3].end() - 1), ByteString(84, 0x00));
    EXPECT_EQ(got[4], ByteString{0x04});
    EXPECT_EQ(listener.LogCount("XModem error: NACK"), 1u);
}

TEST_F(LinkEngineTest, BrokenTransfersAreReportedAsFailedNotAsReceivedOrSent) {
    struct Case {
        const char* name;
        std::function<void()> request;
        ByteString requestBytes;
        ByteString acknowledgement;
        ByteString breakingAnswer; // the processor's answer to the first block or "C"
        std::string successEvent;
        int command;
    };
    const std::vector<Case> cases = {
        {"receive cancelled by the processor", [&] { engine->GetConfig(1234); },
         BuildGetConfig(1234), Ack({0x83}), ByteString{0x18}, "config", 0x83},
        {"receive with a bad block header", [&] { engine->GetPreset(4); }, BuildGetPreset(4),
         Ack({0x85, 0x04}), XBlock(7, 0x11), "preset", 0x85},
        {"send cancelled by the processor", [&] { engine->SendPreset(5, ByteString(300, 0x5A)); },
         BuildSendPreset(5), Ack({0x02, 0x05}), ByteString{0x18}, "presetSent", 0x02},
    };
    Connect();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t failedBefore = listener.Count("transferFailed");
        // The request is acknowledged and the packet after it gets the breaking answer;
        // anything else (a late packet of the case before) goes unanswered.
        auto acknowledged = std::make_shared<bool>(false);
        auto broken = std::make_shared<bool>(false);
        peer.SetResponder(
            [c, acknowledged, broken](const ByteString& p) -> std::optional<ByteString> {
                if (!*acknowledged) {
                    if (p != c.requestBytes) {
                        return std::nullopt;
                    }
                    *acknowledged = true;
                    return c.acknowledgement;
                }
                if (!*broken) {
                    *broken = true;
                    return c.breakingAnswer;
                }
                return std::nullopt;
            });
        c.request();
        ASSERT_TRUE(listener.WaitFor("transferFailed", failedBefore + 1));
        EXPECT_EQ(listener.Events("transferFailed").back().n, c.command);
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(listener.Count(c.successEvent), 0u);
        EXPECT_FALSE(engine->IsActive());
    }
}

// A byte the transfer takes without an answer to give (a stray ACK while receiving) must not
// leave the link idle with the transfer open: the start request is repeated on the time-out,
// and the transfer comes to an end (here a failed one: the stray byte spoils the next block).
TEST_F(LinkEngineTest, StrayByteDuringAReceiveDoesNotStallTheTransfer) {
    settings.replyTimeoutMs = 40;
    Connect();
    EXPECT_EQ(Exchange([&] { engine->GetConfig(1234); }, Ack({0x83})), BuildGetConfig(1234));
    auto start = peer.WaitSent(2);
    ASSERT_TRUE(start.has_value());
    EXPECT_EQ(*start, ByteString{'C'});
    peer.Feed({0x06});
    auto again = peer.WaitSent(3);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(*again, ByteString{'C'});
    EXPECT_GE(listener.LogCount("Try: 1"), 1u);
    peer.Feed(XBlock(1, 0x41));
    ASSERT_TRUE(listener.WaitFor("transferFailed"));
    EXPECT_EQ(listener.Events("transferFailed").front().n, 0x83);
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(engine->IsConnected());
}

TEST_F(LinkEngineTest, DestroyingMidTransferReturns) {
    settings.replyTimeoutMs = 600000;
    Connect();
    engine->SetPolling(true);
    engine->GetPreset(7);
    auto sent = peer.WaitSent(1);
    ASSERT_TRUE(sent.has_value());
    peer.Feed(Ack({0x85, 0x07}));
    ASSERT_TRUE(listener.WaitForLog("Send handshake"));
    // Destruction must not wait for the silent processor (its reply time-out is ten minutes).
    // It runs on a thread of its own, so a hang fails here instead of stalling the run.
    auto done = std::make_shared<std::promise<void>>();
    std::thread([e = std::move(engine), done]() mutable {
        e.reset();
        done->set_value();
    }).detach();
    ASSERT_EQ(done->get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(peer.Closes(), 0); // gone without a disconnect exchange or a report
    EXPECT_EQ(listener.Count("config") + listener.Count("preset") +
                  listener.Count("transferFailed") + listener.Count("disconnected"),
              0u);
}

// The thread sleeps while nothing is due: with polling on and every poll answered, each
// poll costs a bounded number of wake-ups however long the test runs.
TEST_F(LinkEngineTest, IdleThreadWakesOnlyForWhatIsDue) {
    settings.pollRate = 50;
    Connect();
    peer.SetResponder([](const ByteString& p) -> std::optional<ByteString> {
        if (p == BuildReadLeds()) {
            return LedReply(0);
        }
        return std::nullopt;
    });
    const std::uint64_t before = engine->WakeupCount();
    engine->SetPolling(true);
    ASSERT_TRUE(listener.WaitFor("leds", 20));
    engine->SetPolling(false);
    ASSERT_TRUE(WaitIdle());
    const std::size_t polls = peer.Sent().size();
    const std::uint64_t wakeups = engine->WakeupCount() - before;
    // One wake for the poll timer, one for the reply, a few spare for the set-up.
    EXPECT_LE(wakeups, 3 * polls + 5) << polls << " polls";

    // With polling off and nothing to do, the thread does not wake at all. A second engine
    // giving up on a silent processor marks out a stretch of real time.
    const std::uint64_t idle = engine->WakeupCount();
    CConnectionSettings otherSettings;
    otherSettings.SetLinkDefaults();
    otherSettings.replyTimeoutMs = 20;
    RecordingListener otherListener;
    ScriptedPeer otherPeer;
    CLinkEngine other(&otherListener, otherSettings);
    other.SetChannelFactory([&](IChannelSink* sink, const CConnectionSettings&) {
        return otherPeer.MakeChannel(sink);
    });
    other.Connect();
    ASSERT_TRUE(otherListener.WaitFor("connected"));
    const std::uint64_t otherBefore = other.WakeupCount();
    other.ReadVersion();
    ASSERT_TRUE(otherListener.WaitFor("disconnected"));
    EXPECT_LE(engine->WakeupCount() - idle, 1u);
    // Ten time-outs: one wake for the request and one per expiry, a few spare.
    EXPECT_LE(other.WakeupCount() - otherBefore, 15u);
}

} // namespace
