#include "client/monitor/win32/ClientChannel.h"

namespace ub {

bool CClientChannel::AcquireClientInstance() {
    if (m_instance) return true;
    m_instance = CreateInstanceMutex(kCliMutexName);
    if (!m_instance) return false;
    if (!m_channel.OpenChannel()) {
        ::CloseHandle(m_instance);
        m_instance = nullptr;
        return false;
    }
    m_channel.Block().SetClientPid(::GetCurrentProcessId());
    ::SetEvent(m_channel.ClientEvent());
    return true;
}

void CClientChannel::CloseClientChannel(CClientTables* tables) {
    if (tables) tables->ClearTables();
    m_channel.CloseChannel();
    if (m_instance) ::CloseHandle(m_instance);
    m_instance = nullptr;
}

}  // namespace ub
