#include "client/pages/TimeText.h"

#include <ctime>

namespace ub {
namespace {

bool InRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

int DayOfYear(int year, int month, int day) {
    static const int kBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kBefore[month - 1] + day - 1 + (leap && month > 2 ? 1 : 0);
}

}  // namespace

std::string FormatCivilTime(const CivilTime& t, const char* pattern) {
    // Some C runtimes end the program on fields out of range: those never
    // reach strftime.
    if (!InRange(t.year, 1601, 30827) || !InRange(t.month, 1, 12) || !InRange(t.day, 1, 31) ||
        !InRange(t.hour, 0, 23) || !InRange(t.minute, 0, 59) || !InRange(t.second, 0, 59) ||
        !InRange(t.weekday, 0, 6))
        return "";
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_wday = t.weekday;
    tm.tm_yday = DayOfYear(t.year, t.month, t.day);
    tm.tm_isdst = 0;
    char text[128];
    size_t n = std::strftime(text, sizeof text, pattern, &tm);
    return std::string(text, n);
}

}  // namespace ub
