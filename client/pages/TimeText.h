// Times as the pages show them: a local calendar time formatted with a
// strftime pattern. Portable; the conversion of a FILETIME (UTC) into the
// local calendar time is the platform's (pages/win32/Win32TimeText.h).
#pragma once

#include <string>

namespace ub {

// Lists and process details.
constexpr char kListTimePattern[] = "%X, %B %d";
// File times.
constexpr char kFileTimePattern[] = "%X, %B %d, %Y";

struct CivilTime {
    int year = 1601;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to 31
    int hour = 0, minute = 0, second = 0;
    int weekday = 0;  // 0 Sunday to 6 Saturday
};

// The time formatted with `pattern` in the C locale; "" when a field is out
// of its range.
std::string FormatCivilTime(const CivilTime& time, const char* pattern);

}  // namespace ub
