// The client's side of the channel: the single-instance mutex of the client
// and the shared block, mutex and event, with the client registered in the
// block's header.
#pragma once

#include <windows.h>

#include "client/monitor/ClientTables.h"
#include "common/win32/Win32Channel.h"

namespace ub {

class CClientChannel {
public:
    CClientChannel() = default;
    CClientChannel(const CClientChannel&) = delete;
    CClientChannel& operator=(const CClientChannel&) = delete;
    ~CClientChannel() { CloseClientChannel(nullptr); }

    // Takes the client instance mutex, then opens the channel, writes this
    // process's ID as the client's and sets the client-present event. Fails,
    // holding nothing, when another client runs or the channel cannot be
    // opened.
    bool AcquireClientInstance();
    // Frees the client's records (when `tables` is given), closes the
    // channel and releases the instance mutex. The client ID in the header
    // and the event stay as they are. Safe after a failed acquire and twice.
    void CloseClientChannel(CClientTables* tables);

    bool IsOpen() const { return m_channel.IsOpen(); }
    CChannelBlock& Block() { return m_channel.Block(); }
    IChannelLock& Lock() { return m_channel.Lock(); }

private:
    CWin32Channel m_channel;
    HANDLE m_instance = nullptr;
};

}  // namespace ub
