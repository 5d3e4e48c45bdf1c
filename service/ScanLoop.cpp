#include "service/ScanLoop.h"

#include "service/Publisher.h"

namespace ub {

int RescanPaceFor(uint32_t paceCode) {
    switch (paceCode) {
        case 1: return 500;
        case 2: return 100;
        case 3: return 20;
        default: return 0;
    }
}

uint32_t RoundDelayFor(uint32_t delayCode) {
    switch (delayCode) {
        case 1: return 2500;
        case 2: return 500;
        case 3: return 100;
        default: return 0;
    }
}

int CScanLoop::Designated() const {
    if (m_counter == -1 || m_fullMode) return kRescanAll;
    if (m_counter % m_pace != 0) return kRescanNone;
    return m_counter / m_pace;
}

bool CScanLoop::RunRound() {
    uint32_t ids[kMaxProcessIds];
    uint32_t count = 0;
    if (!m_source.EnumProcessIds(ids, kMaxProcessIds, &count)) return false;
    m_tables.MarkEndedProcesses(ids, count);

    const bool firstRound = m_counter == -1;
    const int designated = Designated();
    for (uint32_t i = 0; i < count; ++i) m_tables.ScanProcess(ids[i], designated, firstRound);

    ++m_counter;
    if (size_t(m_counter / m_pace) >= m_tables.Processes().size()) m_counter = 0;

    int published = PublishTables(m_block, m_lock, m_tables, m_fullMode);
    if (published == 2) m_fullMode = true;
    else if (published == 1) m_fullMode = false;

    if (int pace = RescanPaceFor(m_block.PaceCode())) m_pace = pace;
    if (uint32_t delay = RoundDelayFor(m_block.DelayCode())) m_delay = delay;

    m_platform.Sleep(m_delay);
    WatchClient();
    return true;
}

void CScanLoop::WatchClient() {
    if (m_platform.WaitForClient() && m_client == 0) {
        uint32_t pid = m_block.ClientPid();
        if (pid == 0) return;
        m_client = m_platform.OpenClient(pid);
        if (m_client == 0) return;
        m_clientPid = pid;
    }
    if (m_client != 0 && m_platform.ClientHasEnded(m_client)) {
        // A new client may already have registered: clear only the ended
        // client's ID, and keep the event set when another ID is there. The
        // ended client's handle is still open here, so its ID cannot have
        // been given to the new one.
        if (m_block.ClearClientPidIf(m_clientPid)) {
            m_platform.ResetClientEvent();
            if (m_block.ClientPid() != 0) m_platform.SetClientEvent();
        }
        m_platform.CloseClient(m_client);
        m_client = 0;
        m_clientPid = 0;
        m_fullMode = false;
    }
}

}  // namespace ub
