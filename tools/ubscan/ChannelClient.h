// ubscan --channel: registers as the client would, asks the running
// service for a full snapshot and prints it (Windows only).
#pragma once

#include <cstdio>

#include "tools/ubscan/ProcessScan.h"

namespace ub {

// Returns 0 when a snapshot was printed, 1 when the channel could not be
// opened or no snapshot arrived within `timeoutMs`.
int RunChannelClient(std::FILE* out, LevelColumnFn levelColumn, unsigned timeoutMs);

}  // namespace ub
