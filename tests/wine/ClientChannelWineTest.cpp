// The client's hold on the channel: one client instance at a time, its
// registration in the header and the client-present event, and what closing
// leaves behind.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "client/monitor/win32/ClientChannel.h"

namespace ub {
namespace {

uint32_t HeaderClientPid(const CChannelBlock& block) {
    uint32_t pid;
    std::memcpy(&pid, block.Base() + 16, 4);
    return pid;
}

bool EventIsSet() {
    HANDLE event = ::OpenEventA(SYNCHRONIZE, FALSE, kWarningEventName);
    if (!event) return false;
    bool set = ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
    ::CloseHandle(event);
    return set;
}

TEST(ClientChannel, OneClientAtATime) {
    // Another program's view of the channel, from a clean header and event.
    CWin32Channel observer;
    ASSERT_TRUE(observer.OpenChannel());
    observer.Block().SetClientPid(0);
    ::ResetEvent(observer.ClientEvent());
    ASSERT_FALSE(EventIsSet());

    CClientChannel first;
    ASSERT_TRUE(first.AcquireClientInstance());
    EXPECT_TRUE(first.IsOpen());
    EXPECT_EQ(HeaderClientPid(observer.Block()), ::GetCurrentProcessId());
    EXPECT_EQ(first.Block().ClientPid(), ::GetCurrentProcessId());
    EXPECT_TRUE(EventIsSet());
    ASSERT_TRUE(first.Lock().Acquire());
    first.Lock().Release();

    // A second client, even in the same process, gets nothing.
    observer.Block().SetClientPid(0);
    ::ResetEvent(observer.ClientEvent());
    CClientChannel second;
    EXPECT_FALSE(second.AcquireClientInstance());
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(HeaderClientPid(observer.Block()), 0u);
    EXPECT_FALSE(EventIsSet());
    second.CloseClientChannel(nullptr);
    second.CloseClientChannel(nullptr);
    EXPECT_TRUE(first.IsOpen());
    EXPECT_FALSE(CreateInstanceMutex(kCliMutexName));  // still held by the first

    // Closing frees the records and the instance but leaves the header and
    // the event to the other program.
    observer.Block().SetClientPid(::GetCurrentProcessId());
    ::SetEvent(observer.ClientEvent());
    CClientTables tables;
    tables.modules.push_back(std::make_unique<ModuleRecord>());
    tables.processes.push_back(std::make_unique<ProcessRecord>());
    first.CloseClientChannel(&tables);
    EXPECT_FALSE(first.IsOpen());
    EXPECT_TRUE(tables.modules.empty());
    EXPECT_TRUE(tables.processes.empty());
    EXPECT_EQ(HeaderClientPid(observer.Block()), ::GetCurrentProcessId());
    EXPECT_TRUE(EventIsSet());
    first.CloseClientChannel(&tables);

    EXPECT_TRUE(second.AcquireClientInstance());
    EXPECT_TRUE(second.IsOpen());
    second.CloseClientChannel(nullptr);
    ASSERT_TRUE(first.AcquireClientInstance());
    EXPECT_TRUE(first.IsOpen());
}

TEST(ClientChannel, ChannelThatCannotBeOpenedReleasesTheInstance) {
    // A mutex under the event's name: the channel's event cannot be made.
    HANDLE squatter = ::CreateMutexA(nullptr, FALSE, kWarningEventName);
    if (!squatter || ::GetLastError() == ERROR_ALREADY_EXISTS) {
        if (squatter) ::CloseHandle(squatter);
        GTEST_SKIP() << "the channel is open in another program of this prefix";
    }
    CClientChannel client;
    EXPECT_FALSE(client.AcquireClientInstance());
    EXPECT_FALSE(client.IsOpen());
    // The instance mutex was let go at once, not at the close.
    HANDLE instance = CreateInstanceMutex(kCliMutexName);
    EXPECT_TRUE(instance);
    if (instance) ::CloseHandle(instance);
    client.CloseClientChannel(nullptr);

    ::CloseHandle(squatter);
    EXPECT_TRUE(client.AcquireClientInstance());
}

// Security made from its text form: "O:BA" owner, "D:..." access list;
// `nullDacl` replaces the list by none at all (everyone allowed).
class CTextSecurity {
public:
    explicit CTextSecurity(const char* sddl, bool nullDacl = false) {
        ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &m_sd, nullptr);
        m_attributes.nLength = sizeof m_attributes;
        m_attributes.lpSecurityDescriptor = m_sd;
        if (m_sd && nullDacl) {
            // The converted descriptor is self-relative and cannot change:
            // an absolute one with the same owner and no list.
            PSID owner = nullptr;
            BOOL defaulted = FALSE;
            ::GetSecurityDescriptorOwner(m_sd, &owner, &defaulted);
            ::InitializeSecurityDescriptor(&m_absolute, SECURITY_DESCRIPTOR_REVISION);
            ::SetSecurityDescriptorOwner(&m_absolute, owner, FALSE);
            ::SetSecurityDescriptorDacl(&m_absolute, TRUE, nullptr, FALSE);
            m_attributes.lpSecurityDescriptor = &m_absolute;
        }
    }
    ~CTextSecurity() {
        if (m_sd) ::LocalFree(m_sd);
    }
    bool Valid() const { return m_sd != nullptr; }
    SECURITY_ATTRIBUTES* Attributes() { return &m_attributes; }

private:
    PSECURITY_DESCRIPTOR m_sd = nullptr;
    SECURITY_DESCRIPTOR m_absolute{};
    SECURITY_ATTRIBUTES m_attributes{};
};

constexpr char kAdministrationOnly[] = "O:BAD:(A;;GA;;;SY)(A;;GA;;;BA)";

TEST(ClientChannel, BlockSmallerThanItsSizeIsNotOpened) {
    // A section of one page made first under the block's name, with the
    // channel's own owner and access list, so that only its size is wrong.
    CTextSecurity security(kAdministrationOnly);
    ASSERT_TRUE(security.Valid());
    HANDLE small =
        ::CreateFileMappingA(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0, 4096, kShmemName);
    if (!small || ::GetLastError() == ERROR_ALREADY_EXISTS) {
        if (small) ::CloseHandle(small);
        GTEST_SKIP() << "the channel is open in another program of this prefix";
    }
    CWin32Channel channel;
    EXPECT_FALSE(channel.OpenChannel());
    EXPECT_FALSE(channel.IsOpen());
    CClientChannel client;
    EXPECT_FALSE(client.AcquireClientInstance());
    client.CloseClientChannel(nullptr);

    ::CloseHandle(small);
    EXPECT_TRUE(channel.OpenChannel()) << "the name is free again: a block of its full size";
    channel.CloseChannel();
}

// The owner and the access list of a kernel object, as text.
std::string SecurityOf(HANDLE object, std::vector<std::string>* allowed) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                          nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS)
        return "<unreadable>";
    auto text = [](PSID sid) {
        char* s = nullptr;
        std::string t = ::ConvertSidToStringSidA(sid, &s) ? s : "?";
        if (s) ::LocalFree(s);
        return t;
    };
    std::string ownerText = owner ? text(owner) : "<none>";
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!::GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
        char mask[16];
        std::snprintf(mask, sizeof mask, ":%08lX", static_cast<unsigned long>(ace->Mask));
        allowed->push_back(std::to_string(ace->Header.AceType) + ":" + text(&ace->SidStart) + mask);
    }
    if (!dacl) allowed->push_back("<null DACL>");
    ::LocalFree(sd);
    return ownerText;
}

// The five objects live in the machine-wide namespace, where the service in
// session 0 and a client in a user's session both find them; under a
// session's own name ("Local\\") there is no such object.
TEST(ClientChannel, ObjectsAreMadeUnderGlobalNames) {
    CWin32Channel channel;
    ASSERT_TRUE(channel.OpenChannel());
    HANDLE service = CreateInstanceMutex(kSvrMutexName);
    HANDLE client = CreateInstanceMutex(kCliMutexName);
    ASSERT_NE(service, nullptr);
    ASSERT_NE(client, nullptr);
    using Open = HANDLE (*)(const char*);
    const Open event = [](const char* n) { return ::OpenEventA(READ_CONTROL, FALSE, n); };
    const Open mutex = [](const char* n) { return ::OpenMutexA(READ_CONTROL, FALSE, n); };
    const Open mapping = [](const char* n) { return ::OpenFileMappingA(READ_CONTROL, FALSE, n); };
    const struct {
        const char* name;
        Open open;
    } objects[] = {{kShmemName, mapping},
                   {kSyncMutexName, mutex},
                   {kWarningEventName, event},
                   {kSvrMutexName, mutex},
                   {kCliMutexName, mutex}};
    for (const auto& o : objects) {
        SCOPED_TRACE(o.name);
        const std::string name = o.name;
        ASSERT_EQ(name.rfind("Global\\", 0), 0u);
        const std::string bare = name.substr(7);
        HANDLE global = o.open(name.c_str());
        EXPECT_NE(global, nullptr) << ::GetLastError();
        if (global) ::CloseHandle(global);
        HANDLE local = o.open(("Local\\" + bare).c_str());
        EXPECT_EQ(local, nullptr) << "found in the session's namespace";
        if (local) ::CloseHandle(local);
    }
    ::CloseHandle(client);
    ::CloseHandle(service);
    channel.CloseChannel();
}

TEST(ClientChannel, ObjectsAllowOnlyLocalSystemAndAdministrators) {
    CWin32Channel channel;
    ASSERT_TRUE(channel.OpenChannel());
    const char* names[] = {kWarningEventName, kSyncMutexName, kShmemName};
    HANDLE objects[] = {::OpenEventA(READ_CONTROL, FALSE, kWarningEventName),
                        ::OpenMutexA(READ_CONTROL, FALSE, kSyncMutexName),
                        ::OpenFileMappingA(READ_CONTROL, FALSE, kShmemName)};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        ASSERT_NE(objects[i], nullptr) << ::GetLastError();
        std::vector<std::string> allowed;
        std::string owner = SecurityOf(objects[i], &allowed);
        std::printf("[  note    ] %s: owner %s\n", names[i], owner.c_str());
        // Allowed entries (type 0) with every standard and specific right.
        ASSERT_EQ(allowed.size(), 2u) << ::testing::PrintToString(allowed);
        EXPECT_EQ(allowed[0].substr(0, 11), "0:S-1-5-18:");
        EXPECT_EQ(allowed[1].substr(0, 15), "0:S-1-5-32-544:");
        ::CloseHandle(objects[i]);
    }
    channel.CloseChannel();

    // A sync mutex made first by someone else: used only when its owner and
    // access list are the channel's.
    struct Case {
        const char* what;
        const char* sddl;  // null: default security
        bool nullDacl;
        bool used;
    } cases[] = {
        {"default security of the test program", nullptr, false, false},
        {"owned by Administrators, everyone allowed", "O:BAD:(A;;GA;;;BA)(A;;GA;;;WD)", false, false},
        {"owned by Administrators, a standard user allowed to synchronise", "O:BAD:(A;;GA;;;BA)(A;;0x100000;;;BU)",
         false, false},
        {"owned by Administrators, null access list", "O:BAD:(A;;GA;;;BA)", true, false},
        {"the channel's owner and list", kAdministrationOnly, false, true},
        {"the channel's owner, guests denied, the two allowed", "O:BAD:(D;;GA;;;BG)(A;;GA;;;SY)(A;;GA;;;BA)", false,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<CTextSecurity> security;
        if (c.sddl) {
            security.reset(new CTextSecurity(c.sddl, c.nullDacl));
            ASSERT_TRUE(security->Valid()) << ::GetLastError();
        }
        HANDLE squatter = ::CreateMutexA(security ? security->Attributes() : nullptr, FALSE, kSyncMutexName);
        ASSERT_NE(squatter, nullptr) << ::GetLastError();
        ASSERT_NE(::GetLastError(), DWORD(ERROR_ALREADY_EXISTS)) << "the channel is open in another program";
        std::vector<std::string> allowed;
        std::printf("[  note    ] a mutex made with %s: owner %s\n", c.what, SecurityOf(squatter, &allowed).c_str());
        EXPECT_EQ(channel.OpenChannel(), c.used);
        EXPECT_EQ(channel.IsOpen(), c.used);
        channel.CloseChannel();
        ::CloseHandle(squatter);
    }
    EXPECT_TRUE(channel.OpenChannel());
    channel.CloseChannel();
}

}  // namespace
}  // namespace ub
