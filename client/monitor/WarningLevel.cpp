#include "client/monitor/WarningLevel.h"

namespace ub {

WarningLevel WarningLevelOf(uint32_t flags) {
    if (flags == 0) return WarningLevel::None;
    if (flags < 0x100) return WarningLevel::Low;
    if (flags < 0x100000) return WarningLevel::Mid;
    if (flags < 0x10000000) return WarningLevel::High;
    return WarningLevel::Pending;
}

const char* WarningLevelText(WarningLevel level) {
    switch (level) {
        case WarningLevel::Low: return "Low";
        case WarningLevel::Mid: return "Mid";
        case WarningLevel::High: return "High";
        case WarningLevel::Pending: return "Pending";
        case WarningLevel::None: break;
    }
    return "";
}

}  // namespace ub
