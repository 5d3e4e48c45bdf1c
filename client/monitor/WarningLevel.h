// Warning level of a module, decided by the numeric value of its flags.
#pragma once

#include <cstdint>

namespace ub {

enum class WarningLevel { None, Low, Mid, High, Pending };

// 0 is None; below 0x100 Low, below 0x100000 Mid, below 0x10000000 High,
// otherwise Pending.
WarningLevel WarningLevelOf(uint32_t flags);

// "Low", "Mid", "High", "Pending"; "" for None.
const char* WarningLevelText(WarningLevel level);

}  // namespace ub
