#include "common/ChannelBlock.h"

namespace ub {

void SetServiceSpeed(CChannelBlock& block, uint32_t paceCode, uint32_t delayCode) {
    std::memcpy(block.Base() + kOffPaceCode, &paceCode, 4);
    std::memcpy(block.Base() + kOffDelayCode, &delayCode, 4);
}

int SyncFromChannel(CChannelBlock& block, IChannelLock& lock, bool requestFull, IChannelMerge& merge) {
    if (requestFull && block.State() != CS_FULL_READY) {
        block.SetState(CS_FULL_WANTED);
        return 0;
    }
    if (block.State() == CS_CONSUMED) return 0;
    if (!lock.Acquire()) return 0;
    int result = 1;
    if (block.State() == CS_FULL_READY) {
        merge.ClearTables();
        result = 2;
    }
    block.SetState(CS_CONSUMED);
    merge.Merge(block);
    lock.Release();
    return result;
}

}  // namespace ub
