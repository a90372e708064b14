#pragma once

#include <functional>

#include "snapshot/ISnapshotLink.h"

// How every snapshot link treats a transfer broken off (stray bytes on the line cancel one):
// it is made again, a few times, before the snapshot or restore gives up on it.
class TransferRetry {
public:
    static constexpr int kRetries = 3;

    // Makes attempt until it ends other than Cancelled, at most 1 + kRetries times, and gives
    // its last result. retrying, when set, hears the number of each new try (2, 3, ...) before
    // it is made.
    [[nodiscard]] static ISnapshotLink::Result
    Run(const std::function<ISnapshotLink::Result()>& attempt,
        const std::function<void(int)>& retrying = nullptr);
};
