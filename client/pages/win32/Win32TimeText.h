// A FILETIME (UTC) shown as local time with a strftime pattern.
#pragma once

#include <string>

#include "client/pages/TimeText.h"
#include "common/SharedFormat.h"

namespace ub {

// "" when the time cannot be converted.
std::string LocalTimeText(const FileTime& utc, const char* pattern);
// The "Date" column of the list pages.
inline std::string ListTimeText(const FileTime& utc) { return LocalTimeText(utc, kListTimePattern); }

}  // namespace ub
