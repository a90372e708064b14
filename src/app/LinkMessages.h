#pragma once

#include <QEvent>

// The link's notifications as they reach the main window: each is a posted event whose type
// is the message number.
constexpr int WM_LINK_CONNECTED = 3008;
constexpr int WM_LINK_DISCONNECTED = 3009;
constexpr int WM_LINK_PARAMETER = 3010;
constexpr int WM_LINK_VERSION = 3011;
constexpr int WM_LINK_LEDS = 3012;
constexpr int WM_LINK_CONFIG = 3013;
constexpr int WM_LINK_PRESET = 3014;
constexpr int WM_LINK_LOG = 3015;
constexpr int WM_LINK_FACTORY_PRESET = 3016;
constexpr int WM_LINK_PRESET_SENT = 3017;
constexpr int WM_LINK_PRESET_LOADED = 3018;
constexpr int WM_LINK_BYPASS = 3019;
// A description or preset transfer that broke off; its number is the request's code.
constexpr int WM_LINK_TRANSFER_FAILED = 3020;

constexpr bool IsLinkMessage(int type) {
    return type >= WM_LINK_CONNECTED && type <= WM_LINK_TRANSFER_FAILED;
}
