#include "app/CWindowSnapshotLink.h"

#include "app/LinkMessages.h"
#include "link/CLinkEngine.h"
#include "snapshot/TransferRetry.h"

namespace {
constexpr std::uint32_t kGetConfig = 0x83;
constexpr std::uint32_t kGetPreset = 0x85;
constexpr std::uint32_t kSendPreset = 0x02;
} // namespace

CWindowSnapshotLink::CWindowSnapshotLink(CLinkEngine& engine, int lockCode,
                                         std::chrono::milliseconds quietLimit)
    : engine_(engine), lockCode_(lockCode), quietLimit_(quietLimit) {}

int CWindowSnapshotLink::LockCode() {
    std::lock_guard lock(mutex_);
    return lockCode_;
}

void CWindowSnapshotLink::Abort() {
    std::lock_guard lock(mutex_);
    aborted_ = true;
    changed_.notify_all();
}

void CWindowSnapshotLink::Reset(int lockCode, std::chrono::milliseconds quietLimit) {
    std::lock_guard lock(mutex_);
    lockCode_ = lockCode;
    quietLimit_ = quietLimit;
    aborted_ = false;
    awaited_ = Awaited::None;
}

ISnapshotLink::Result CWindowSnapshotLink::Await(Awaited what, const std::function<void()>& request,
                                                 Answer& answer, ParamAddress address, int preset) {
    {
        std::lock_guard lock(mutex_);
        if (aborted_) {
            return Result::NoResponse;
        }
        awaited_ = what;
        address_ = address;
        preset_ = preset;
        answered_ = false;
        failure_ = Result::Ok;
        answer_ = {};
        lastHeard_ = std::chrono::steady_clock::now();
    }
    if (!engine_.IsConnected()) {
        std::lock_guard lock(mutex_);
        awaited_ = Awaited::None;
        return Result::NoResponse;
    }
    // The engine is called without our lock: it calls the tap with its own held.
    request();
    std::unique_lock lock(mutex_);
    for (;;) {
        if (aborted_) {
            awaited_ = Awaited::None;
            return Result::NoResponse;
        }
        if (answered_ || failure_ != Result::Ok) {
            awaited_ = Awaited::None;
            if (answered_) {
                answer = std::move(answer_);
                return Result::Ok;
            }
            return failure_;
        }
        const auto deadline = lastHeard_ + quietLimit_;
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout &&
            std::chrono::steady_clock::now() >= lastHeard_ + quietLimit_) {
            awaited_ = Awaited::None;
            return Result::NoResponse;
        }
    }
}

bool CWindowSnapshotLink::OnLinkMessage(int message, std::uint32_t number, const ByteString& bytes,
                                        const std::string& text) {
    std::lock_guard lock(mutex_);
    lastHeard_ = std::chrono::steady_clock::now();
    if (awaited_ == Awaited::None || answered_ || failure_ != Result::Ok) {
        return false;
    }
    auto take = [&] {
        answered_ = true;
        answer_ = {number, bytes, text};
        changed_.notify_all();
    };
    switch (message) {
    case WM_LINK_DISCONNECTED:
        failure_ = Result::NoResponse;
        changed_.notify_all();
        return false;
    case WM_LINK_TRANSFER_FAILED:
        if ((awaited_ == Awaited::Config && number == kGetConfig) ||
            (awaited_ == Awaited::Preset && number == kGetPreset) ||
            (awaited_ == Awaited::PresetSent && number == kSendPreset)) {
            failure_ = Result::Cancelled;
            changed_.notify_all();
            return true;
        }
        return false;
    case WM_LINK_VERSION:
        if (awaited_ == Awaited::Version) {
            take();
            return true;
        }
        return false;
    case WM_LINK_CONFIG:
        if (awaited_ == Awaited::Config) {
            take();
            return true;
        }
        return false;
    case WM_LINK_FACTORY_PRESET:
        if (awaited_ == Awaited::FactoryCount) {
            take();
            return true;
        }
        return false;
    case WM_LINK_PRESET:
        if (awaited_ == Awaited::Preset && static_cast<int>(number) == preset_) {
            take();
            return true;
        }
        return false;
    case WM_LINK_PRESET_SENT:
        if (awaited_ == Awaited::PresetSent && static_cast<int>(number) == preset_) {
            take();
            return true;
        }
        return false;
    case WM_LINK_PARAMETER:
        // The window sees the value too: a control showing it shows what the processor holds.
        if (awaited_ == Awaited::Parameter && (number & 0xFF) == address_.a &&
            ((number >> 8) & 0xFF) == address_.b && ((number >> 16) & 0xFF) == address_.c) {
            take();
        }
        return false;
    case WM_LINK_LEDS:
        if (awaited_ == Awaited::Leds) {
            take();
        }
        return false;
    default:
        return false;
    }
}

ISnapshotLink::Result CWindowSnapshotLink::ReadVersion(std::string& version) {
    Answer answer;
    const Result result = Await(
        Awaited::Version, [this] { engine_.ReadVersion(); }, answer);
    version = answer.text;
    return result;
}

ISnapshotLink::Result CWindowSnapshotLink::GetConfig(ByteString& description) {
    Answer answer;
    const Result result = TransferRetry::Run([&] {
        return Await(
            Awaited::Config, [this] { engine_.GetConfig(lockCode_); }, answer);
    });
    description = std::move(answer.bytes);
    return result;
}

ISnapshotLink::Result CWindowSnapshotLink::GetFactoryPresetNumber(int& count) {
    Answer answer;
    const Result result = Await(
        Awaited::FactoryCount, [this] { engine_.GetFactoryPresetNumber(); }, answer);
    count = static_cast<int>(answer.number);
    return result;
}

ISnapshotLink::Result CWindowSnapshotLink::GetPreset(std::uint8_t preset, ByteString& data) {
    Answer answer;
    const Result result = TransferRetry::Run([&] {
        return Await(
            Awaited::Preset, [this, preset] { engine_.GetPreset(preset); }, answer, {}, preset);
    });
    data = std::move(answer.bytes);
    return result;
}

ISnapshotLink::Result CWindowSnapshotLink::ReadParameter(ParamAddress address,
                                                         std::uint8_t& value) {
    Answer answer;
    const Result result = Await(
        Awaited::Parameter,
        [this, address] { engine_.ReadParameter(address.a, address.b, address.c); }, answer,
        address);
    value = static_cast<std::uint8_t>(answer.number >> 24);
    return result;
}

ISnapshotLink::Result CWindowSnapshotLink::ReadLeds(ByteString& reply) {
    Answer answer;
    const Result result = Await(
        Awaited::Leds, [this] { engine_.ReadLeds(); }, answer);
    reply = std::move(answer.bytes);
    return result;
}

ISnapshotLink::Result CWindowSnapshotLink::WriteParameter(ParamAddress address, std::uint8_t value,
                                                          std::uint8_t& stored) {
    // The write, then a read of what was kept. A write kept with another value is reported
    // by the link as that value, which answers as well; the read's own reply then only
    // reaches the window.
    Answer answer;
    const Result result = Await(
        Awaited::Parameter,
        [this, address, value] {
            engine_.WriteParameter(address.a, address.b, address.c, value);
            engine_.ReadParameter(address.a, address.b, address.c);
        },
        answer, address);
    stored = static_cast<std::uint8_t>(answer.number >> 24);
    return result;
}

ISnapshotLink::Result CWindowSnapshotLink::SendPreset(std::uint8_t preset, const ByteString& data) {
    Answer answer;
    return TransferRetry::Run([&] {
        return Await(
            Awaited::PresetSent, [this, preset, &data] { engine_.SendPreset(preset, data); },
            answer, {}, preset);
    });
}
