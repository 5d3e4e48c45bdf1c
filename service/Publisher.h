// Publication of the service's tables into the shared block.
#pragma once

#include "common/ChannelBlock.h"
#include "service/ScanTables.h"

namespace ub {

// Publishes a full snapshot (`full`) or the records that changed. Returns 1
// when published, 2 when the client asks for a full snapshot (nothing
// published), 0 when nothing was done (the last publication is not yet
// consumed, or the lock failed).
//
// One publication holds at most kMaxProcessSlots processes and
// kMaxModuleSlots modules. Records that do not fit keep their status and go
// out next time; a process goes out only once the client holds every module
// it refers to. A full snapshot whose module table would not fit first drops
// the modules no process record refers to and renumbers the rest.
int PublishTables(CChannelBlock& block, IChannelLock& lock, CScanTables& tables, bool full);

// Drops every module that no process record refers to, keeping the order
// of the rest, and renumbers the process records' module indices.
void CompactModules(CScanTables& tables);

}  // namespace ub
