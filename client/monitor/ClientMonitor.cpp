#include "client/monitor/ClientMonitor.h"

namespace ub {

CClientMonitor::CClientMonitor(CTreeController& controller, CClientTables& tables, const CClientSettings& settings,
                               IClientFrame& frame, ITimerHost& timers)
    : m_controller(controller), m_tables(tables), m_settings(settings), m_frame(frame), m_timers(timers) {}

void CClientMonitor::Attach(CChannelBlock* block, IChannelLock* lock) {
    m_block = block;
    m_lock = lock;
}

void CClientMonitor::Start() { m_timers.StartTimer(TIMER_FIRST_SNAPSHOT, kFirstSnapshotPeriodMs); }

int CClientMonitor::Refresh(bool requestFull) {
    if (!m_block || !m_lock) return 0;
    // Never inside another refresh or a list operation (a tick that fires
    // in their message boxes): skipped, a later tick catches up.
    if (m_controller.Busy()) return 0;
    CTreeController::Operation busy(m_controller);
    int r = SyncFromChannel(*m_block, *m_lock, requestFull || m_tables.WantsSnapshot(), m_tables);
    if (r == 0) return 0;
    if (r == 2) {
        // New records: the lists' links and the tree's items are rebuilt.
        m_controller.ReloadLists();
        m_controller.History().Reset(m_controller.Nodes().root);
    }
    m_controller.ApplyClientBitsAfter(r);
    m_controller.RefreshTree(r);
    m_frame.TablesChanged(r);
    m_tables.AgeStatuses();
    return 1;
}

void CClientMonitor::StartRefreshTimer() {
    m_timerSpeed = m_settings.CliSpeed;
    m_timers.StartTimer(TIMER_REFRESH, RefreshPeriodMs(m_timerSpeed));
}

bool CClientMonitor::OnRefreshTimer(unsigned id) {
    if (id == TIMER_FIRST_SNAPSHOT) {
        if (Refresh(true) == 0) return true;  // asked again at the next tick
        ITree& tree = m_controller.Tree();
        const FixedNodes& nodes = m_controller.Nodes();
        tree.Expand(nodes.view);
        tree.Expand(nodes.warningList);
        tree.Expand(nodes.processes);
        TreeItem start = nodes.root;
        if (m_settings.TitleSkip == 1) start = nodes.warningList;
        else if (m_settings.TitleSkip == 2) start = nodes.processes;
        tree.SelectItem(start);
        tree.EnsureVisible(start);
        m_frame.CloseWaitDialog();
        if (m_block) SetServiceSpeed(*m_block, 0, uint32_t(m_settings.SvrSpeed + 1));
        m_timers.StopTimer(TIMER_FIRST_SNAPSHOT);
        StartRefreshTimer();
        m_synchronised = true;
        return true;
    }
    if (id == TIMER_REFRESH) {
        Refresh(false);
        if (m_settings.CliSpeed != m_timerSpeed) {
            m_timers.StopTimer(TIMER_REFRESH);
            StartRefreshTimer();
        }
        return true;
    }
    return false;
}

}  // namespace ub
