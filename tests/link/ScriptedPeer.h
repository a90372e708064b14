#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "link/CLinkChannel.h"
#include "link/CReplyAccumulator.h"
#include "link/IChannelSink.h"

// An in-process stand-in for a transport and the processor behind it. The engine's channel
// records what is sent; replies come from the test thread (Feed) or from a responder that
// runs on the peer's own thread and whose bytes are cut like a serial line's, as a real
// transport's thread would deliver them.
class ScriptedPeer {
public:
    using Responder = std::function<std::optional<ByteString>(const ByteString& sent)>;

    ~ScriptedPeer() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
            changed_.notify_all();
        }
        if (worker_.joinable()) {
            worker_.join();
        }
    }

    // Sets a responder for every later packet; it runs on the peer's thread.
    void SetResponder(Responder responder) {
        std::lock_guard lock(mutex_);
        responder_ = std::move(responder);
        if (!worker_.joinable()) {
            worker_ = std::thread([this] { Work(); });
        }
    }

    std::unique_ptr<CLinkChannel> MakeChannel(IChannelSink* sink) {
        return std::make_unique<Channel>(*this, sink);
    }

    // Delivers one reply to the engine as a transport would.
    void Feed(const ByteString& reply) {
        IChannelSink* sink;
        {
            std::lock_guard lock(mutex_);
            sink = sink_;
            if (sink == nullptr) {
                return;
            }
            ++feeding_;
        }
        sink->OnReceived(reply);
        std::lock_guard lock(mutex_);
        --feeding_;
        changed_.notify_all();
    }

    // Reports a transport failure, as a channel's thread would.
    void Fail(int code) {
        IChannelSink* sink;
        {
            std::lock_guard lock(mutex_);
            sink = sink_;
            if (sink == nullptr) {
                return;
            }
            ++feeding_;
        }
        sink->OnError(code);
        std::lock_guard lock(mutex_);
        --feeding_;
        changed_.notify_all();
    }

    // Delivers bytes as a serial line would: cut with the engine's own reply rule, handed on
    // only when they make exactly one reply.
    void FeedBytes(const ByteString& bytes) {
        std::lock_guard feeding(feedMutex_);
        IChannelSink* sink;
        {
            std::lock_guard lock(mutex_);
            sink = sink_;
            if (sink == nullptr) {
                return;
            }
            ++feeding_;
        }
        line_.AddSerial(
            bytes.data(), bytes.size(),
            [sink](const ByteString& b) { return sink->ExpectedReplyLength(b); },
            [sink](const ByteString& reply) { sink->OnReceived(reply); });
        std::lock_guard lock(mutex_);
        --feeding_;
        changed_.notify_all();
    }

    // Waits until at least count packets were sent and returns packet index count-1.
    std::optional<ByteString> WaitSent(std::size_t count,
                                       std::chrono::seconds limit = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, limit, [&] { return sent_.size() >= count; })) {
            return std::nullopt;
        }
        return sent_[count - 1];
    }
    std::vector<ByteString> Sent() {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    int Opens() {
        std::lock_guard lock(mutex_);
        return opens_;
    }
    int Closes() {
        std::lock_guard lock(mutex_);
        return closes_;
    }

    // Set before Connect: Open reports this error instead of connecting.
    int openError = 0;
    // Set before the request: the channel reports failSendCode from inside its Send of
    // packet number failSendAt (counting from 1), as a transport whose send fails does.
    std::size_t failSendAt = 0;
    int failSendCode = 0;

private:
    class Channel : public CLinkChannel {
    public:
        Channel(ScriptedPeer& peer, IChannelSink* sink) : CLinkChannel(sink), peer_(peer) {
            std::lock_guard lock(peer_.mutex_);
            peer_.sink_ = sink;
        }
        // Waits for a reply being handed over, so the engine is never called afterwards.
        ~Channel() override {
            std::unique_lock lock(peer_.mutex_);
            peer_.sink_ = nullptr;
            peer_.changed_.wait(lock, [&] { return peer_.feeding_ == 0; });
        }
        void Open(const CConnectionSettings&) override {
            {
                std::lock_guard lock(peer_.mutex_);
                ++peer_.opens_;
            }
            if (peer_.openError != 0) {
                NotifyError(peer_.openError);
            } else {
                NotifyConnected();
            }
        }
        void Close() override {
            {
                std::lock_guard lock(peer_.mutex_);
                ++peer_.closes_;
            }
            NotifyDisconnected();
        }
        void Send(const ByteString& bytes) override {
            bool fail = false;
            {
                std::lock_guard lock(peer_.mutex_);
                peer_.sent_.push_back(bytes);
                fail = peer_.sent_.size() == peer_.failSendAt;
                if (peer_.responder_ && !fail) {
                    peer_.pending_.push_back(bytes);
                }
                peer_.changed_.notify_all();
            }
            if (fail) {
                NotifyError(peer_.failSendCode);
            }
        }

    private:
        ScriptedPeer& peer_;
    };

    void Work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return stop_ || !pending_.empty(); });
            if (stop_) {
                return;
            }
            ByteString packet = std::move(pending_.front());
            pending_.pop_front();
            Responder responder = responder_;
            lock.unlock();
            std::optional<ByteString> reply = responder ? responder(packet) : std::nullopt;
            if (reply) {
                FeedBytes(*reply);
            }
            lock.lock();
        }
    }

    std::mutex feedMutex_; // taken before the engine's lock, never after it
    CReplyAccumulator line_;
    std::mutex mutex_;
    std::condition_variable changed_;
    IChannelSink* sink_ = nullptr;
    std::vector<ByteString> sent_;
    std::deque<ByteString> pending_;
    Responder responder_;
    int feeding_ = 0;
    int opens_ = 0;
    int closes_ = 0;
    bool stop_ = false;
    std::thread worker_;
};
