#pragma once

#include <cstdint>
#include <string>

#include "link/ByteString.h"

// What the link engine reports. Every call comes from the engine's own thread, one at a time,
// never from the thread that made the request. A listener copies what it needs and posts it
// to where it is used (the application posts a QEvent to its main window; a headless caller
// queues it and wakes its waiting thread) and returns at once. It must not block, wait for
// another thread, or touch windows; it may call the engine's request operations, which only
// hand their work to the engine's thread.
class ILinkListener {
public:
    virtual ~ILinkListener() = default;
    virtual void OnConnected() = 0;
    virtual void OnDisconnected() = 0;
    virtual void OnError(int code) = 0;
    virtual void OnVersion(const std::string& text) = 0;
    virtual void OnParameter(std::uint8_t d1, std::uint8_t d2, std::uint8_t d3,
                             std::uint8_t d4) = 0;
    virtual void OnLeds(const ByteString& reply) = 0;
    // A write was acknowledged with another value than the one sent: the processor kept kept
    // (it clamps a value beyond the parameter's range). Listeners that show values use it.
    virtual void OnParameterKept(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                 std::uint8_t kept) {
        (void)a, (void)b, (void)c, (void)kept;
    }
    virtual void OnConfig(const ByteString& data) = 0;
    virtual void OnFactoryPresetNumber(int n) = 0;
    virtual void OnPresetLoaded(int n) = 0;
    virtual void OnBypass(int n) = 0;
    virtual void OnPreset(int n, const ByteString& data) = 0;
    virtual void OnPresetSent(int n, const ByteString& data) = 0;
    virtual void OnLog(const std::string& line) = 0;
    // A transfer ended before its end (cancelled by either side, or broken off by an
    // unexpected byte). Its data is incomplete, so it is reported here instead of as received
    // or sent. command: the request whose transfer it was (0x02, 0x03, 0x83 or 0x85).
    virtual void OnTransferFailed(std::uint8_t command) = 0;
};
