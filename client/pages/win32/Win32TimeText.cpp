#include "client/pages/win32/Win32TimeText.h"

#include <windows.h>

namespace ub {

std::string LocalTimeText(const FileTime& utc, const char* pattern) {
    FILETIME ft{utc.low, utc.high}, local;
    SYSTEMTIME st;
    if (!::FileTimeToLocalFileTime(&ft, &local) || !::FileTimeToSystemTime(&local, &st)) return "";
    CivilTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.weekday = st.wDayOfWeek;
    return FormatCivilTime(t, pattern);
}

}  // namespace ub
