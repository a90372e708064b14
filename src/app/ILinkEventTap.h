#pragma once

#include <cstdint>
#include <string>

#include "link/ByteString.h"

// Sees every link notification on the link's thread before it is posted to the main window,
// and may keep it from the window (true): the window's snapshot link takes the replies to
// its own requests this way. It must return at once and never touch windows.
class ILinkEventTap {
public:
    virtual ~ILinkEventTap() = default;
    // message: a WM_LINK_* number; the other arguments as CLinkEvent carries them.
    virtual bool OnLinkMessage(int message, std::uint32_t number, const ByteString& bytes,
                               const std::string& text) = 0;
};
