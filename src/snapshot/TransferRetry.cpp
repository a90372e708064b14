#include "snapshot/TransferRetry.h"

ISnapshotLink::Result TransferRetry::Run(const std::function<ISnapshotLink::Result()>& attempt,
                                         const std::function<void(int)>& retrying) {
    ISnapshotLink::Result result = attempt();
    for (int retry = 1; retry <= kRetries && result == ISnapshotLink::Result::Cancelled; ++retry) {
        if (retrying) {
            retrying(retry + 1);
        }
        result = attempt();
    }
    return result;
}
