#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "app/ILinkEventTap.h"
#include "snapshot/ISnapshotLink.h"

class CLinkEngine;

// The snapshot's requests over the main window's own link engine, answered through the
// window's listener: the replies to its requests are taken from the notifications before they
// reach the window (versions, descriptions and presets the window did not ask for stay away
// from it), while parameter values and LED states still reach it, so the page and meters keep
// showing what the processor holds. Polling goes on meanwhile. Each call waits on its caller's
// thread (never the window's), until the answer comes, the link drops, nothing has been heard
// for the link's whole round of tries, or Abort. A transfer broken off is made again, as
// TransferRetry says.
class CWindowSnapshotLink : public ISnapshotLink, public ILinkEventTap {
public:
    CWindowSnapshotLink(CLinkEngine& engine, int lockCode, std::chrono::milliseconds quietLimit);

    // Every waiting and later call answers NoResponse at once (the window closes, or the link
    // went), until Reset.
    void Abort();
    // For a new connection: its lock code and how long a silent link is waited for.
    void Reset(int lockCode, std::chrono::milliseconds quietLimit);

    Result ReadVersion(std::string& version) override;
    Result GetConfig(ByteString& description) override;
    Result GetFactoryPresetNumber(int& count) override;
    Result GetPreset(std::uint8_t preset, ByteString& data) override;
    Result ReadParameter(ParamAddress address, std::uint8_t& value) override;
    Result ReadLeds(ByteString& reply) override;
    Result WriteParameter(ParamAddress address, std::uint8_t value, std::uint8_t& stored) override;
    Result SendPreset(std::uint8_t preset, const ByteString& data) override;

    // ILinkEventTap, on the link's thread.
    bool OnLinkMessage(int message, std::uint32_t number, const ByteString& bytes,
                       const std::string& text) override;

private:
    enum class Awaited { None, Version, Config, FactoryCount, Preset, PresetSent, Parameter, Leds };
    struct Answer {
        std::uint32_t number = 0;
        ByteString bytes;
        std::string text;
    };
    // Makes the request and waits for what answers it.
    Result Await(Awaited what, const std::function<void()>& request, Answer& answer,
                 ParamAddress address = {}, int preset = -1);

    int LockCode();

    CLinkEngine& engine_;
    int lockCode_;
    std::chrono::milliseconds quietLimit_;

    std::mutex mutex_;
    std::condition_variable changed_;
    Awaited awaited_ = Awaited::None;
    ParamAddress address_{};
    int preset_ = -1;
    bool answered_ = false;
    Result failure_ = Result::Ok;
    Answer answer_;
    bool aborted_ = false;
    std::chrono::steady_clock::time_point lastHeard_{};
};
