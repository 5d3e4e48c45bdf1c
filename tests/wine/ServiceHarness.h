// Helpers for the service tests: the service control manager as the tests
// drive it, processes by image name, polling, and a client-side copy of the
// service's tables that checks every publication it merges.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ChannelBlock.h"

namespace ub::wine {

// Generous limit for anything the service tests wait for.
constexpr DWORD kServiceWaitMs = 60000;

// Calls `done` every `stepMs` until it returns true; false when it still
// does not after `limitMs`.
template <class Done>
bool PollUntil(Done done, DWORD limitMs = kServiceWaitMs, DWORD stepMs = 20) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start >= limitMs) return done();
        Sleep(stepMs);
    }
}

// A service control manager handle, closed on scope exit.
class CScHandle {
public:
    explicit CScHandle(SC_HANDLE h = nullptr) : m_h(h) {}
    ~CScHandle() {
        if (m_h) CloseServiceHandle(m_h);
    }
    CScHandle(const CScHandle&) = delete;
    CScHandle& operator=(const CScHandle&) = delete;
    SC_HANDLE Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }

private:
    SC_HANDLE m_h;
};

// What the service control manager reports for a service.
struct ServiceState {
    bool exists = false;
    DWORD error = 0;  // when the query failed
    DWORD state = 0;
    DWORD exitCode = 0;
    DWORD processId = 0;
};
ServiceState QueryServiceByName(const char* name);
std::string Describe(const ServiceState& s);

// Registers `name` as an own-process, demand-start service running `path`.
::testing::AssertionResult CreateServiceNamed(const char* name, const std::string& path);
// StartService; returns the call's error (0 on success).
DWORD StartServiceNamed(const char* name);
// Sends a control code; returns the call's error (0 on success) and the
// status the call reports in `status`.
DWORD ControlServiceNamed(const char* name, DWORD control, SERVICE_STATUS* status);
// Stops the service if it runs, waits until it has stopped, deletes it and
// waits until the name is free. Succeeds at once when no such service exists.
::testing::AssertionResult RemoveService(const char* name);

// Full image path of a process, empty when it cannot be read.
std::string ImagePathOf(uint32_t processId);
// IDs of the running processes whose image file name is `fileName`.
std::vector<uint32_t> ProcessesWithImage(const std::string& fileName);

// One publication as the client merged it.
struct Publication {
    bool full = false;
    size_t modulesBefore = 0;  // client module table size before the merge
    std::vector<ModuleRecord> modules;
    std::vector<ProcessRecord> processes;
};

// The client's tables: a snapshot replaces them; a delta appends the modules
// it does not hold yet (by path, letter case ignored) in order, and updates,
// adds or drops process records. Module indices then stay positions in the
// service's module table; anything that contradicts that, or the format of a
// publication, is collected in `problems`.
class CClientTables : public IChannelMerge {
public:
    std::vector<ModuleRecord> modules;
    std::vector<ProcessRecord> processes;  // running processes only
    std::vector<Publication> log;          // every merge, oldest first
    std::vector<std::string> problems;

    void ClearTables() override;
    void Merge(const CChannelBlock& block) override;

    // Position of the module with this full path, or -1.
    int FindModule(const std::string& path) const;
    // The held record of a running process, or nullptr.
    const ProcessRecord* Running(uint32_t processId) const;
    // Full path of the module at `slot` of a held process record; empty when
    // the slot or index is out of range.
    std::string ModulePath(const ProcessRecord& rec, uint32_t slot) const;
    // Every published record of `processId` from publication `from` on.
    struct Sent {
        size_t publication;  // position in `log`
        ProcessRecord record;
    };
    std::vector<Sent> Published(uint32_t processId, size_t from = 0) const;

private:
    bool m_clearing = false;
};

}  // namespace ub::wine
