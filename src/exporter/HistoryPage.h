#pragma once

#include <string>
#include <vector>

#include "exporter/ProcessorStatus.h"

// The status page's settings-history section: for each processor its last snapshot, its last
// change with every line of the difference, and what keeps the history from being kept.
// Empty without --history.
namespace HistoryPage {

[[nodiscard]] std::string Section(const std::vector<ProcessorStatus>& fleet);

} // namespace HistoryPage
