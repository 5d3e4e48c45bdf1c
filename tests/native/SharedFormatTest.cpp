#include <gtest/gtest.h>

#include "client/monitor/WarningLevel.h"
#include "common/SharedFormat.h"

namespace ub {
namespace {

TEST(WarningLevel, ThresholdsAndTexts) {
    struct Case {
        uint32_t flags;
        WarningLevel level;
        const char* text;
    } cases[] = {
        {0, WarningLevel::None, ""},           {0x2, WarningLevel::Low, "Low"},
        {0xFF, WarningLevel::Low, "Low"},      {0x100, WarningLevel::Mid, "Mid"},
        {0x400, WarningLevel::Mid, "Mid"},     {0x800, WarningLevel::Mid, "Mid"},
        {0x1000, WarningLevel::Mid, "Mid"},    {0xFFFFF, WarningLevel::Mid, "Mid"},
        {0x100000, WarningLevel::High, "High"}, {0x400800, WarningLevel::High, "High"},
        {0xFFFFFFF, WarningLevel::High, "High"}, {0x10000000, WarningLevel::Pending, "Pending"},
        {0x10000800, WarningLevel::Pending, "Pending"}, {0xC0000000, WarningLevel::Pending, "Pending"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WarningLevelOf(c.flags), c.level) << std::hex << c.flags;
        EXPECT_STREQ(WarningLevelText(WarningLevelOf(c.flags)), c.text) << std::hex << c.flags;
    }
}

}  // namespace
}  // namespace ub
