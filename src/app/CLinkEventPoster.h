#pragma once

#include <atomic>

#include "link/ILinkListener.h"

class ILinkEventTap;

class QObject;

// The link engine's listener: turns every call into one event posted to the receiver (the
// main window) with owned copies of its data. It runs on the link's threads and touches
// nothing but the event queue.
class CLinkEventPoster : public ILinkListener {
public:
    explicit CLinkEventPoster(QObject* receiver);

    void OnConnected() override;
    void OnDisconnected() override;
    void OnError(int code) override;
    void OnVersion(const std::string& text) override;
    void OnParameter(std::uint8_t d1, std::uint8_t d2, std::uint8_t d3, std::uint8_t d4) override;
    // A value kept other than the one written reaches the window as that parameter's value.
    void OnParameterKept(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                         std::uint8_t kept) override {
        OnParameter(a, b, c, kept);
    }
    void OnLeds(const ByteString& reply) override;
    void OnConfig(const ByteString& data) override;
    void OnFactoryPresetNumber(int n) override;
    void OnPresetLoaded(int n) override;
    void OnBypass(int n) override;
    void OnPreset(int n, const ByteString& data) override;
    void OnPresetSent(int n, const ByteString& data) override;
    void OnLog(const std::string& line) override;
    void OnTransferFailed(std::uint8_t command) override;

    // tap, when set, sees every notification first and may keep it from the receiver.
    void SetTap(ILinkEventTap* tap) { tap_.store(tap); }

private:
    void Post(int message, std::uint32_t number, ByteString bytes = {}, std::string text = {});

    QObject* receiver_;
    std::atomic<ILinkEventTap*> tap_{nullptr};
};
