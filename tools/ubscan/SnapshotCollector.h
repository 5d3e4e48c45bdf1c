// A client-side merge that keeps plain copies of the published records:
// enough to print what a client receives.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "common/ChannelBlock.h"

namespace ub {

class CSnapshotCollector : public IChannelMerge {
public:
    std::vector<std::unique_ptr<ModuleRecord>> modules;
    std::vector<std::unique_ptr<ProcessRecord>> processes;

    void ClearTables() override {
        modules.clear();
        processes.clear();
    }
    // Appends every slot; counts beyond the block's room are clamped.
    void Merge(const CChannelBlock& block) override {
        uint32_t m = std::min<uint32_t>(block.ModuleCount(), kMaxModuleSlots);
        uint32_t p = std::min<uint32_t>(block.ProcessCount(), kMaxProcessSlots);
        for (uint32_t i = 0; i < m; ++i) {
            modules.push_back(std::make_unique<ModuleRecord>());
            std::memcpy(modules.back().get(), block.ModuleSlot(i), sizeof(ModuleRecord));
            modules.back()->fullPath[kPathSize - 1] = 0;
            modules.back()->baseName[kNameSize - 1] = 0;
        }
        for (uint32_t i = 0; i < p; ++i) {
            processes.push_back(std::make_unique<ProcessRecord>());
            std::memcpy(processes.back().get(), block.ProcessSlot(i), sizeof(ProcessRecord));
        }
    }
};

}  // namespace ub
