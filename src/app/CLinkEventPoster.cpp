#include "app/CLinkEventPoster.h"

#include <QCoreApplication>

#include "app/CLinkEvent.h"
#include "app/ILinkEventTap.h"
#include "app/LinkMessages.h"

CLinkEventPoster::CLinkEventPoster(QObject* receiver) : receiver_(receiver) {}

void CLinkEventPoster::Post(int message, std::uint32_t number, ByteString bytes, std::string text) {
    if (ILinkEventTap* tap = tap_.load();
        tap != nullptr && tap->OnLinkMessage(message, number, bytes, text)) {
        return;
    }
    // postEvent is thread-safe and takes the event over.
    QCoreApplication::postEvent(receiver_,
                                new CLinkEvent(message, number, std::move(bytes), std::move(text)));
}

void CLinkEventPoster::OnConnected() {
    OnLog("Connected");
    Post(WM_LINK_CONNECTED, 0);
}

void CLinkEventPoster::OnDisconnected() {
    OnLog("Disconnected");
    Post(WM_LINK_DISCONNECTED, 0);
}

void CLinkEventPoster::OnError(int code) {
    OnLog("Error: " + std::to_string(code));
    Post(WM_LINK_DISCONNECTED, 0);
}

void CLinkEventPoster::OnVersion(const std::string& text) {
    Post(WM_LINK_VERSION, 0, {}, text);
}

void CLinkEventPoster::OnParameter(std::uint8_t d1, std::uint8_t d2, std::uint8_t d3,
                                   std::uint8_t d4) {
    Post(WM_LINK_PARAMETER, static_cast<std::uint32_t>(d1) | static_cast<std::uint32_t>(d2) << 8 |
                                static_cast<std::uint32_t>(d3) << 16 |
                                static_cast<std::uint32_t>(d4) << 24);
}

void CLinkEventPoster::OnLeds(const ByteString& reply) {
    Post(WM_LINK_LEDS, 0, reply);
}

void CLinkEventPoster::OnConfig(const ByteString& data) {
    Post(WM_LINK_CONFIG, 0, data);
}

void CLinkEventPoster::OnFactoryPresetNumber(int n) {
    Post(WM_LINK_FACTORY_PRESET, static_cast<std::uint32_t>(n));
}

void CLinkEventPoster::OnPresetLoaded(int n) {
    Post(WM_LINK_PRESET_LOADED, static_cast<std::uint32_t>(n));
}

void CLinkEventPoster::OnBypass(int n) {
    Post(WM_LINK_BYPASS, static_cast<std::uint32_t>(n));
}

void CLinkEventPoster::OnPreset(int n, const ByteString& data) {
    Post(WM_LINK_PRESET, static_cast<std::uint32_t>(n), data);
}

void CLinkEventPoster::OnPresetSent(int n, const ByteString& data) {
    Post(WM_LINK_PRESET_SENT, static_cast<std::uint32_t>(n), data);
}

void CLinkEventPoster::OnLog(const std::string& line) {
    Post(WM_LINK_LOG, 0, {}, line);
}

void CLinkEventPoster::OnTransferFailed(std::uint8_t command) {
    Post(WM_LINK_TRANSFER_FAILED, command);
}
