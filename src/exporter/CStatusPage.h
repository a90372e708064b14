#pragma once

#include <string>
#include <vector>

#include "exporter/ProcessorStatus.h"

// The landing page: one plain HTML table of the fleet for a NOC screen. It refreshes itself
// with a meta tag and needs no JavaScript.
class CStatusPage {
public:
    static constexpr int kRefreshSeconds = 5;

    [[nodiscard]] static std::string Html(const std::vector<ProcessorStatus>& fleet);
    [[nodiscard]] static std::string Escape(const std::string& text);

    // "U3: MORNING (TR) (DEF)", the preset list's way of showing markers.
    [[nodiscard]] static std::string PresetText(const ProcessorStatus& p);
};
