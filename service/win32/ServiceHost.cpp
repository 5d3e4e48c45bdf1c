#include "service/win32/ServiceHost.h"

#include <atomic>

#include "common/win32/Win32Channel.h"
#include "service/ScanLoop.h"
#include "service/win32/Win32ProcessSource.h"

namespace ub {
namespace {

constexpr DWORD kStartFailed = 0xFFFFFFFF;

// The status record is shared by the worker and the control handler; the
// lock keeps a report from mixing the two threads' fields.
SERVICE_STATUS g_status;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
CRITICAL_SECTION g_statusLock;
std::atomic<DWORD> g_state{SERVICE_STOPPED};
// Set by a stop request: wakes the worker when it waits for a client, so
// that it still clears the header and closes the channel.
HANDLE g_stopEvent = nullptr;
// Set when the worker has shut down; the program waits for it before it
// ends, since the dispatcher returns as soon as "stopped" is reported.
HANDLE g_workerDone = nullptr;
std::atomic<bool> g_workerStarted{false};

void ReportStatus(DWORD state, DWORD exitCode, bool setExitCode) {
    ::EnterCriticalSection(&g_statusLock);
    g_state = state;
    g_status.dwCurrentState = state;
    if (setExitCode) g_status.dwWin32ExitCode = exitCode;
    ::SetServiceStatus(g_statusHandle, &g_status);
    ::LeaveCriticalSection(&g_statusLock);
}

class CWin32ServicePlatform : public IServicePlatform {
public:
    CWin32ServicePlatform(HANDLE clientEvent, HANDLE stopEvent)
        : m_clientEvent(clientEvent), m_stopEvent(stopEvent) {}
    void Sleep(uint32_t ms) override { ::Sleep(ms); }
    bool WaitForClient() override {
        HANDLE handles[2] = {m_clientEvent, m_stopEvent};
        return ::WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0;
    }
    void ResetClientEvent() override { ::ResetEvent(m_clientEvent); }
    void SetClientEvent() override { ::SetEvent(m_clientEvent); }
    uint32_t OpenClient(uint32_t pid) override {
        // Only the rights the watch uses: PROCESS_ALL_ACCESS as defined by current
        // headers (0x1FFFFF) is refused by Windows XP and Server 2003.
        HANDLE h = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
        return uint32_t(reinterpret_cast<uintptr_t>(h));
    }
    bool ClientHasEnded(uint32_t handle) override {
        return ::WaitForSingleObject(Handle(handle), 0) == WAIT_OBJECT_0;
    }
    void CloseClient(uint32_t handle) override { ::CloseHandle(Handle(handle)); }

private:
    static HANDLE Handle(uint32_t v) { return reinterpret_cast<HANDLE>(intptr_t(int32_t(v))); }
    HANDLE m_clientEvent;
    HANDLE m_stopEvent;
};

void RunService() {
    g_status = SERVICE_STATUS{};
    g_status.dwServiceType = SERVICE_WIN32;
    g_status.dwCurrentState = SERVICE_START_PENDING;
    g_status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    g_state = SERVICE_START_PENDING;
    g_statusHandle = ::RegisterServiceCtrlHandlerA(kServiceName, ServiceControlHandler);
    if (!g_statusHandle) return;

    HANDLE instance = AcquireServiceInstance();
    CWin32Channel channel;
    if (instance && !channel.OpenChannel()) {
        ::CloseHandle(instance);
        instance = nullptr;
    }
    if (!instance) {
        ReportStatus(SERVICE_STOPPED, kStartFailed, true);
        return;
    }
    channel.Block().SetServicePid(::GetCurrentProcessId());
    // A stop that arrived during start-up has already been reported; it
    // must not be overwritten by "running".
    ::EnterCriticalSection(&g_statusLock);
    if (g_state == SERVICE_START_PENDING) {
        g_state = SERVICE_RUNNING;
        g_status.dwCurrentState = SERVICE_RUNNING;
        ::SetServiceStatus(g_statusHandle, &g_status);
    }
    ::LeaveCriticalSection(&g_statusLock);

    CWin32ProcessSource source;
    CScanTables tables(source);
    CWin32ServicePlatform platform(channel.ClientEvent(), g_stopEvent);
    CScanLoop loop(source, tables, channel.Block(), channel.Lock(), platform);
    bool enumerationFailed = false;
    while (g_state == SERVICE_RUNNING) {
        if (!loop.RunRound()) {
            enumerationFailed = true;
            break;
        }
    }

    channel.Block().SetServicePid(0);
    tables.ReleaseTables();
    channel.CloseChannel();
    ::CloseHandle(instance);
    if (enumerationFailed) ReportStatus(SERVICE_STOPPED, kStartFailed, true);
}

}  // namespace

bool IsSupportedSystem() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(&info)) return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5;
}

HANDLE AcquireServiceInstance() { return CreateInstanceMutex(kSvrMutexName); }

void WINAPI ServiceMain(DWORD, LPSTR*) {
    g_workerStarted = true;
    try {
        RunService();
    } catch (...) {
        ReportStatus(SERVICE_STOPPED, kStartFailed, true);
    }
    ::SetEvent(g_workerDone);
}

void WINAPI ServiceControlHandler(DWORD control) {
    try {
        if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
            ReportStatus(SERVICE_STOPPED, 0, true);
            ::SetEvent(g_stopEvent);
            return;
        }
        ::EnterCriticalSection(&g_statusLock);
        ::SetServiceStatus(g_statusHandle, &g_status);
        ::LeaveCriticalSection(&g_statusLock);
    } catch (...) {
    }
}

int RunServiceProgram() {
    if (!IsSupportedSystem()) return 0;
    ::InitializeCriticalSection(&g_statusLock);
    g_stopEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_workerDone = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    char name[sizeof kServiceName];
    ::lstrcpyA(name, kServiceName);
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    BOOL result = ::StartServiceCtrlDispatcherA(table);
    // A stop is reported before the worker has finished its round; let it
    // clear the header and close the channel before the process ends.
    if (g_workerStarted) ::WaitForSingleObject(g_workerDone, 60000);
    return result ? 1 : 0;
}

}  // namespace ub
