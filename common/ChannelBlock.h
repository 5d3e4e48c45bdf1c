// The shared block as seen by either program: header fields, record slots
// and the client's consumption protocol. Works over any 16 MiB byte block
// (the mapped view on Windows, a plain buffer in tests) and a lock that
// stands for the sync mutex.
#pragma once

#include <cstdint>
#include <cstring>

#include "common/SharedFormat.h"

namespace ub {

// The sync mutex. Acquire returns false when the wait failed.
class IChannelLock {
public:
    virtual ~IChannelLock() = default;
    virtual bool Acquire() = 0;
    virtual void Release() = 0;
};

// A view over the block; it owns nothing.
class CChannelBlock {
public:
    explicit CChannelBlock(uint8_t* base) : m_base(base) {}

    uint8_t* Base() const { return m_base; }

    // The state byte is also read and written without the mutex, as a quick
    // test; a volatile single-byte access is enough for that.
    uint8_t State() const { return *static_cast<volatile uint8_t*>(m_base + kOffState); }
    void SetState(uint8_t state) { *static_cast<volatile uint8_t*>(m_base + kOffState) = state; }

    uint32_t PaceCode() const { return Get(kOffPaceCode); }
    uint32_t DelayCode() const { return Get(kOffDelayCode); }
    uint32_t ServicePid() const { return Get(kOffServicePid); }
    uint32_t ClientPid() const { return Get(kOffClientPid); }
    uint32_t ProcessCount() const { return Get(kOffProcessCount); }
    uint32_t ModuleCount() const { return Get(kOffModuleCount); }

    void SetServicePid(uint32_t pid) { Put(kOffServicePid, pid); }
    void SetClientPid(uint32_t pid) { Put(kOffClientPid, pid); }
    // Clears the client process ID only if it still is `pid` (atomic: the
    // other program may write a new ID at the same moment).
    bool ClearClientPidIf(uint32_t pid) {
        uint32_t* field = reinterpret_cast<uint32_t*>(m_base + kOffClientPid);
        return __atomic_compare_exchange_n(field, &pid, 0u, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    }
    void SetCounts(uint32_t processes, uint32_t modules) {
        Put(kOffProcessCount, processes);
        Put(kOffModuleCount, modules);
    }

    // Slots are 4-byte aligned, as the records need.
    ProcessRecord* ProcessSlot(size_t i) const {
        return reinterpret_cast<ProcessRecord*>(m_base + kOffProcessSlots + i * sizeof(ProcessRecord));
    }
    ModuleRecord* ModuleSlot(size_t i) const {
        return reinterpret_cast<ModuleRecord*>(m_base + kOffModuleSlots + i * sizeof(ModuleRecord));
    }

private:
    uint32_t Get(size_t off) const {
        uint32_t v;
        std::memcpy(&v, m_base + off, 4);
        return v;
    }
    void Put(size_t off, uint32_t v) { std::memcpy(m_base + off, &v, 4); }

    uint8_t* m_base;
};

// Writes the rescan pace code and the round delay code (client side).
void SetServiceSpeed(CChannelBlock& block, uint32_t paceCode, uint32_t delayCode);

// The client's merge of one publication, called under the sync mutex.
class IChannelMerge {
public:
    virtual ~IChannelMerge() = default;
    // A full snapshot follows: empty the client tables.
    virtual void ClearTables() = 0;
    // Merge the module slots, then the process slots.
    virtual void Merge(const CChannelBlock& block) = 0;
};

// Client side: asks for a full snapshot or consumes the last publication.
// Returns 0 when nothing was merged, 1 for a delta, 2 for a snapshot.
int SyncFromChannel(CChannelBlock& block, IChannelLock& lock, bool requestFull, IChannelMerge& merge);

}  // namespace ub
