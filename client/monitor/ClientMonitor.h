// The client's polling of the channel: one refresh merges a publication,
// adds the client's marks, updates the tree and tells the page on show. Two
// window timers drive it: timer 1 asks for the first complete snapshot,
// timer 2 then refreshes at the user's pace.
#pragma once

#include <cstdint>

#include "client/monitor/ClientTables.h"
#include "client/monitor/TreeController.h"
#include "client/shell/ClientSettings.h"
#include "common/ChannelBlock.h"

namespace ub {

enum : unsigned {
    TIMER_FIRST_SNAPSHOT = 1,
    TIMER_REFRESH = 2,
};
constexpr uint32_t kFirstSnapshotPeriodMs = 500;

// The tree window's timers.
class ITimerHost {
public:
    virtual ~ITimerHost() = default;
    virtual void StartTimer(unsigned id, uint32_t periodMs) = 0;
    virtual void StopTimer(unsigned id) = 0;
};

class CClientMonitor {
public:
    CClientMonitor(CTreeController& controller, CClientTables& tables, const CClientSettings& settings,
                   IClientFrame& frame, ITimerHost& timers);

    // The open channel; refreshes do nothing without one.
    void Attach(CChannelBlock* block, IChannelLock* lock);
    // After a successful registration: timer 1 starts asking for a snapshot.
    void Start();

    // One refresh; 0 when nothing was merged, else 1. Nothing is merged
    // while the controller is busy with a refresh or a list operation.
    int Refresh(bool requestFull);
    // The timer handler; false for a timer that is not the monitor's.
    bool OnRefreshTimer(unsigned id);

    bool Synchronised() const { return m_synchronised; }

private:
    // Timer 2 at the current CliSpeed's period, remembering that value.
    void StartRefreshTimer();

    CTreeController& m_controller;
    CClientTables& m_tables;
    const CClientSettings& m_settings;
    IClientFrame& m_frame;
    ITimerHost& m_timers;
    CChannelBlock* m_block = nullptr;
    IChannelLock* m_lock = nullptr;
    int32_t m_timerSpeed = 0;  // the CliSpeed timer 2 runs at
    bool m_synchronised = false;
};

}  // namespace ub
