#pragma once

#include <ctime>
#include <string>

#include "snapshot/Snapshot.h"

// The origin of a snapshot taken on this machine, built the same way by every program that
// takes one, so their files and histories say who, where and when in one form.
class LocalOrigin {
public:
    // Now, by program, for the processor reached at processor (HOST:PORT or a serial port).
    [[nodiscard]] static SnapshotOrigin Now(const std::string& program,
                                            const std::string& processor);

    // A moment as the origin keeps it: UTC, ISO 8601 to the second ("2026-12-11T01:30:00Z").
    [[nodiscard]] static std::string UtcText(std::time_t moment);
    // $USER, else $LOGNAME, else the account of the user id, else the user id's number.
    [[nodiscard]] static std::string UserName();
    // This machine's name; "unknown" when the system does not tell it.
    [[nodiscard]] static std::string HostName();
};
