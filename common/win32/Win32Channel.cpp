#include "common/win32/Win32Channel.h"

#include <aclapi.h>

namespace ub {
namespace {

// Full access for LocalSystem and the Administrators group, nobody else:
// the service runs as LocalSystem and the client as an administrator, and
// no other program may write the block, hold the mutex or take the event.
// Inheritable handles.
struct AdminSecurity {
    BYTE system[SECURITY_MAX_SID_SIZE];
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD acl[64];  // room for two allowed entries, aligned
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;

    AdminSecurity() {
        DWORD size = sizeof system;
        ::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size);
        size = sizeof admins;
        ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size);
        PACL list = reinterpret_cast<PACL>(acl);
        ::InitializeAcl(list, sizeof acl, ACL_REVISION);
        ::AddAccessAllowedAce(list, ACL_REVISION, GENERIC_ALL, system);
        ::AddAccessAllowedAce(list, ACL_REVISION, GENERIC_ALL, admins);
        ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        ::SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE);
        // Owned by the Administrators group, whichever of the two made it:
        // the other one then recognises the object as made by one of them.
        ::SetSecurityDescriptorOwner(&descriptor, admins, FALSE);
        attributes.nLength = sizeof attributes;
        attributes.lpSecurityDescriptor = &descriptor;
        attributes.bInheritHandle = TRUE;
    }
};

bool IsAdministration(PSID sid, const AdminSecurity& security) {
    return sid && (::EqualSid(sid, const_cast<BYTE*>(security.system)) ||
                   ::EqualSid(sid, const_cast<BYTE*>(security.admins)));
}

// An object that existed before the create call kept its own security: it
// is used only when LocalSystem or the Administrators group owns it and its
// access list lets nobody else in (no null list, no entry that allows
// anyone else; entries that deny are harmless).
bool MadeByAdministration(HANDLE object, const AdminSecurity& security) {
    if (!object || ::GetLastError() != ERROR_ALREADY_EXISTS) return object != nullptr;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                          nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool trusted = IsAdministration(owner, security) && dacl != nullptr;
    for (DWORD i = 0; trusted && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace)) {
            trusted = false;
            break;
        }
        const ACE_HEADER* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
        // Any other kind of entry allows something: only for the two.
        trusted = header->AceType == ACCESS_ALLOWED_ACE_TYPE &&
                  IsAdministration(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, security);
    }
    ::LocalFree(descriptor);
    return trusted;
}

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
    AdminSecurity security;
    m_event = ::CreateEventA(&security.attributes, TRUE, FALSE, kWarningEventName);
    if (!MadeByAdministration(m_event, security)) CloseIf(m_event);
    if (m_event) m_mutex = ::CreateMutexA(&security.attributes, FALSE, kSyncMutexName);
    if (m_mutex && !MadeByAdministration(m_mutex, security)) CloseIf(m_mutex);
    if (m_mutex)
        m_mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, &security.attributes, PAGE_READWRITE, 0,
                                         DWORD(kBlockSize), kShmemName);
    if (m_mapping && !MadeByAdministration(m_mapping, security)) CloseIf(m_mapping);
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
    AdminSecurity security;
    security.attributes.bInheritHandle = FALSE;
    HANDLE h = ::CreateMutexA(&security.attributes, FALSE, name);
    if (h && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(h);
        return nullptr;
    }
    return h;
}

}  // namespace ub
