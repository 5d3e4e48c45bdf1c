// The service's scan loop: one round enumerates the processes, scans them
// into the tables, publishes, applies the client's speed codes, sleeps and
// then waits for a registered client. Runs on the service's worker thread.
#pragma once

#include <cstdint>

#include "common/ChannelBlock.h"
#include "service/ScanTables.h"

namespace ub {

// What the loop needs from the platform besides the process source.
class IServicePlatform {
public:
    virtual ~IServicePlatform() = default;
    virtual void Sleep(uint32_t milliseconds) = 0;
    // Waits without time-out for the client-present event; false when the
    // wait failed (or was cut short by a stop request).
    virtual bool WaitForClient() = 0;
    virtual void ResetClientEvent() = 0;
    virtual void SetClientEvent() = 0;
    // Opens the client process; 0 on failure.
    virtual uint32_t OpenClient(uint32_t processId) = 0;
    // Zero time-out test of the client process.
    virtual bool ClientHasEnded(uint32_t handle) = 0;
    virtual void CloseClient(uint32_t handle) = 0;
};

constexpr int kInitialRescanPace = 100;
constexpr uint32_t kInitialRoundDelay = 500;

// Rescan pace (rounds) for a pace code, or 0 to keep the current one.
int RescanPaceFor(uint32_t paceCode);
// Round delay (ms) for a delay code, or 0 to keep the current one.
uint32_t RoundDelayFor(uint32_t delayCode);

class CScanLoop {
public:
    CScanLoop(IProcessSource& source, CScanTables& tables, CChannelBlock& block, IChannelLock& lock,
              IServicePlatform& platform)
        : m_source(source), m_tables(tables), m_block(block), m_lock(lock), m_platform(platform) {}

    // One whole round. Returns false when the process enumeration failed
    // (the service then shuts down).
    bool RunRound();

    // The process-table position to rescan this round (kRescanAll,
    // kRescanNone or a position).
    int Designated() const;

    bool FullMode() const { return m_fullMode; }
    int Counter() const { return m_counter; }
    int RescanPace() const { return m_pace; }
    uint32_t RoundDelay() const { return m_delay; }
    uint32_t ClientHandle() const { return m_client; }

private:
    void WatchClient();

    IProcessSource& m_source;
    CScanTables& m_tables;
    CChannelBlock& m_block;
    IChannelLock& m_lock;
    IServicePlatform& m_platform;
    bool m_fullMode = true;
    uint32_t m_client = 0;     // handle to the registered client process
    uint32_t m_clientPid = 0;  // its process ID
    int m_counter = -1;  // -1 marks the first round
    int m_pace = kInitialRescanPace;
    uint32_t m_delay = kInitialRoundDelay;
};

}  // namespace ub
