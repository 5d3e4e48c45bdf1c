// The shared block, the sync mutex and the client-present event on Windows.
// Either program opens them; the first one creates them.
#pragma once

#include <windows.h>

#include "common/ChannelBlock.h"

namespace ub {

// The sync mutex. A wait that returns WAIT_ABANDONED means the other
// program died holding it: the mutex is ours now and the state byte decides
// what happens next, so that counts as acquired.
class CWin32MutexLock : public IChannelLock {
public:
    explicit CWin32MutexLock(HANDLE mutex = nullptr) : m_mutex(mutex) {}
    void Attach(HANDLE mutex) { m_mutex = mutex; }
    bool Acquire() override;
    void Release() override { ::ReleaseMutex(m_mutex); }

private:
    HANDLE m_mutex;
};

class CWin32Channel {
public:
    CWin32Channel() = default;
    CWin32Channel(const CWin32Channel&) = delete;
    CWin32Channel& operator=(const CWin32Channel&) = delete;
    ~CWin32Channel() { CloseChannel(); }

    // Creates or opens, in this order, the event, the sync mutex, the block
    // and its view, all owned by the Administrators group with full access
    // for LocalSystem and the Administrators group only. An object that
    // already existed is used only when one of the two owns it and its
    // access list lets nobody else in. On failure closes what it made, in
    // reverse order, and returns false. A block whose view is smaller than
    // the block's size (a section someone else made first) counts as a
    // failure.
    bool OpenChannel();
    // Unmaps the view and closes the block, the mutex and the event.
    // Closes only what is open; safe to call twice.
    void CloseChannel();

    bool IsOpen() const { return m_view != nullptr; }
    CChannelBlock& Block() { return m_block; }
    IChannelLock& Lock() { return m_lock; }
    HANDLE ClientEvent() const { return m_event; }

private:
    HANDLE m_event = nullptr;
    HANDLE m_mutex = nullptr;
    HANDLE m_mapping = nullptr;
    void* m_view = nullptr;
    CChannelBlock m_block{nullptr};
    CWin32MutexLock m_lock;
};

// Creates a named single-instance mutex (the channel's security, handle
// not inheritable, not owned).
// Returns nullptr when it cannot be created or already existed.
HANDLE CreateInstanceMutex(const char* name);

}  // namespace ub
