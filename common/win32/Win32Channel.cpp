#include "common/win32/Win32Channel.h"

namespace ub {
namespace {

// Security attributes with a present but null DACL; inheritable handles.
struct OpenSecurity {
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;

    OpenSecurity() {
        ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        ::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
        attributes.nLength = sizeof attributes;
        attributes.lpSecurityDescriptor = &descriptor;
        attributes.bInheritHandle = TRUE;
    }
};

bool ViewHoldsBlock(const void* view) {
    MEMORY_BASIC_INFORMATION info{};
    return ::VirtualQuery(view, &info, sizeof info) == sizeof info && info.RegionSize >= kBlockSize;
}

void CloseIf(HANDLE& h) {
    if (h) ::CloseHandle(h);
    h = nullptr;
}

}  // namespace

bool CWin32MutexLock::Acquire() {
    DWORD r = ::WaitForSingleObject(m_mutex, INFINITE);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

bool CWin32Channel::OpenChannel() {
    if (IsOpen()) return true;
    OpenSecurity security;
    m_event = ::CreateEventA(&security.attributes, TRUE, FALSE, kWarningEventName);
    if (m_event) m_mutex = ::CreateMutexA(&security.attributes, FALSE, kSyncMutexName);
    if (m_mutex)
        m_mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, &security.attributes, PAGE_READWRITE, 0,
                                         DWORD(kBlockSize), kShmemName);
    if (m_mapping) m_view = ::MapViewOfFile(m_mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    // Another program may have made the name first with a smaller section:
    // then the view is smaller and every slot past its end unreadable.
    if (m_view && !ViewHoldsBlock(m_view)) {
        ::UnmapViewOfFile(m_view);
        m_view = nullptr;
    }
    if (!m_view) {
        CloseIf(m_mapping);
        CloseIf(m_mutex);
        CloseIf(m_event);
        return false;
    }
    m_block = CChannelBlock(static_cast<uint8_t*>(m_view));
    m_lock.Attach(m_mutex);
    return true;
}

void CWin32Channel::CloseChannel() {
    if (m_view) ::UnmapViewOfFile(m_view);
    m_view = nullptr;
    m_block = CChannelBlock(nullptr);
    CloseIf(m_mapping);
    CloseIf(m_mutex);
    CloseIf(m_event);
}

HANDLE CreateInstanceMutex(const char* name) {
    HANDLE h = ::CreateMutexA(nullptr, FALSE, name);
    if (h && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(h);
        return nullptr;
    }
    return h;
}

}  // namespace ub
