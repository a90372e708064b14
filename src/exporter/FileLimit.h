#pragma once

#include <cstdint>

// The process's limit on open files. A fleet needs a descriptor per processor and the port
// one per client; the usual soft limit (1024) is far below what the system allows.
namespace FileLimit {

// Raises the soft limit to the hard one; returns the soft limit in force afterwards
// (0 when it cannot be read).
std::uint64_t RaiseToHard();

} // namespace FileLimit
