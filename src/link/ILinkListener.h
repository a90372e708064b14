#pragma once

#include <cstdint>
#include <string>

#include "link/ByteString.h"

// What the link engine reports. Calls come from the engine's own thread and from the
// transport's thread, so an implementation only hands the data on (posts it).
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
