// A stand-in for the sync mutex that counts its use, checks that it is
// never taken twice or released unheld, and can be made to fail.
#pragma once

#include <gtest/gtest.h>

#include "common/ChannelBlock.h"

namespace ub::test {

class CountingLock : public IChannelLock {
public:
    bool fails = false;
    bool held = false;
    int acquires = 0;
    int releases = 0;

    bool Acquire() override {
        ++acquires;
        if (fails) return false;
        EXPECT_FALSE(held) << "lock taken twice";
        held = true;
        return true;
    }
    void Release() override {
        EXPECT_TRUE(held) << "lock released without being held";
        held = false;
        ++releases;
    }
};

}  // namespace ub::test
