// Ending the process of a record, as every "Kill" button does.
#pragma once

#include <windows.h>

#include "common/SharedFormat.h"

namespace ub {

// Terminates the process the record names, with exit code 0xFFFFFFFF.
// The record's PID may since have been given to another process (a
// "Finished" row keeps it): when the record knows its creation time, a
// process whose creation time differs, or cannot be read, is left alone.
// True when the process was terminated.
bool TerminateProcessOfRecord(const ProcessRecord& record);

}  // namespace ub
