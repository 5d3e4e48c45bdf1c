#include "tests/wine/ServiceHarness.h"

#ifndef PSAPI_VERSION
#define PSAPI_VERSION 1
#endif
#include <psapi.h>

#include <algorithm>
#include <sstream>

#include "tests/wine/FixtureProcess.h"

namespace ub::wine {
namespace {

CScHandle OpenManager(DWORD access) { return CScHandle(OpenSCManagerA(nullptr, nullptr, access)); }

std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsEnded(uint8_t status) { return status == ST_FINISHED || status == ST_NEW_FINISHED; }

bool IsKnownStatus(uint8_t status) {
    return status == ST_REPORTED || status == ST_NEW || status == ST_FINISHED ||
           status == ST_NEW_FINISHED || status == ST_UPDATED;
}

}  // namespace

ServiceState QueryServiceByName(const char* name) {
    ServiceState s;
    CScHandle manager = OpenManager(SC_MANAGER_CONNECT);
    if (!manager) {
        s.error = GetLastError();
        return s;
    }
    CScHandle service(OpenServiceA(manager.Get(), name, SERVICE_QUERY_STATUS));
    if (!service) {
        s.error = GetLastError();
        return s;
    }
    s.exists = true;
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof status, &needed)) {
        s.error = GetLastError();
        return s;
    }
    s.state = status.dwCurrentState;
    s.exitCode = status.dwWin32ExitCode;
    s.processId = status.dwProcessId;
    return s;
}

std::string Describe(const ServiceState& s) {
    std::ostringstream text;
    if (!s.exists) {
        text << "no service (error " << s.error << ")";
    } else if (s.error) {
        text << "status query failed (error " << s.error << ")";
    } else {
        text << "state " << s.state << ", Win32 exit code " << s.exitCode << " (0x" << std::hex
             << s.exitCode << std::dec << "), process " << s.processId;
    }
    return text.str();
}

::testing::AssertionResult CreateServiceNamed(const char* name, const std::string& path) {
    CScHandle manager = OpenManager(SC_MANAGER_CREATE_SERVICE);
    if (!manager) return ::testing::AssertionFailure() << "OpenSCManager failed: " << GetLastError();
    CScHandle service(CreateServiceA(manager.Get(), name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, path.c_str(), nullptr,
                                     nullptr, nullptr, nullptr, nullptr));
    if (!service) return ::testing::AssertionFailure() << "CreateService " << name << " failed: " << GetLastError();
    return ::testing::AssertionSuccess();
}

DWORD StartServiceNamed(const char* name) {
    CScHandle manager = OpenManager(SC_MANAGER_CONNECT);
    if (!manager) return GetLastError();
    CScHandle service(OpenServiceA(manager.Get(), name, SERVICE_START));
    if (!service) return GetLastError();
    return StartServiceA(service.Get(), 0, nullptr) ? 0 : GetLastError();
}

DWORD ControlServiceNamed(const char* name, DWORD control, SERVICE_STATUS* status) {
    *status = SERVICE_STATUS{};
    CScHandle manager = OpenManager(SC_MANAGER_CONNECT);
    if (!manager) return GetLastError();
    CScHandle service(
        OpenServiceA(manager.Get(), name, SERVICE_STOP | SERVICE_INTERROGATE | SERVICE_USER_DEFINED_CONTROL));
    if (!service) return GetLastError();
    return ControlService(service.Get(), control, status) ? 0 : GetLastError();
}

::testing::AssertionResult RemoveService(const char* name) {
    {
        CScHandle manager = OpenManager(SC_MANAGER_ALL_ACCESS);
        if (!manager) return ::testing::AssertionFailure() << "OpenSCManager failed: " << GetLastError();
        CScHandle service(OpenServiceA(manager.Get(), name, SERVICE_ALL_ACCESS));
        if (!service) {
            DWORD error = GetLastError();
            if (error == ERROR_SERVICE_DOES_NOT_EXIST) return ::testing::AssertionSuccess();
            return ::testing::AssertionFailure() << "OpenService " << name << " failed: " << error;
        }
        SERVICE_STATUS status = {};
        auto stopped = [&] {
            return QueryServiceStatus(service.Get(), &status) && status.dwCurrentState == SERVICE_STOPPED;
        };
        if (!stopped()) {
            // A service still starting may not take the control yet: ask
            // again until it has stopped.
            bool done = PollUntil([&] {
                if (stopped()) return true;
                SERVICE_STATUS ignored = {};
                ControlService(service.Get(), SERVICE_CONTROL_STOP, &ignored);
                return stopped();
            }, kServiceWaitMs, 200);
            if (!done)
                return ::testing::AssertionFailure()
                       << name << " did not stop; state " << status.dwCurrentState;
        }
        if (!DeleteService(service.Get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
            return ::testing::AssertionFailure() << "DeleteService " << name << " failed: " << GetLastError();
    }
    // The registration goes once the last handle to it is closed.
    DWORD last = 0;
    bool gone = PollUntil([&] {
        CScHandle manager = OpenManager(SC_MANAGER_CONNECT);
        CScHandle service(OpenServiceA(manager.Get(), name, SERVICE_QUERY_STATUS));
        last = service ? 0 : GetLastError();
        return !service && last == ERROR_SERVICE_DOES_NOT_EXIST;
    });
    if (!gone) return ::testing::AssertionFailure() << name << " still registered (last error " << last << ")";
    return ::testing::AssertionSuccess();
}

std::string ImagePathOf(uint32_t processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) return std::string();
    char path[MAX_PATH * 4];
    DWORD size = sizeof path;
    std::string result;
    if (QueryFullProcessImageNameA(process, 0, path, &size)) result.assign(path, size);
    CloseHandle(process);
    return result;
}

std::vector<uint32_t> ProcessesWithImage(const std::string& fileName) {
    std::vector<DWORD> ids(4096);
    DWORD bytes = 0;
    std::vector<uint32_t> found;
    if (!EnumProcesses(ids.data(), DWORD(ids.size() * sizeof(DWORD)), &bytes)) return found;
    ids.resize(bytes / sizeof(DWORD));
    for (DWORD id : ids) {
        if (EqualsNoCase(FileNameOf(ImagePathOf(id)), fileName)) found.push_back(id);
    }
    return found;
}

void CClientTables::ClearTables() {
    modules.clear();
    processes.clear();
    m_clearing = true;
}

void CClientTables::Merge(const CChannelBlock& block) {
    Publication pub;
    pub.full = m_clearing;
    m_clearing = false;
    pub.modulesBefore = modules.size();
    const size_t number = log.size();
    auto problem = [&](const std::string& what) {
        problems.push_back("publication " + std::to_string(number) + (pub.full ? " (snapshot): " : " (delta): ") +
                           what);
    };

    uint32_t moduleCount = block.ModuleCount();
    uint32_t processCount = block.ProcessCount();
    if (moduleCount > kMaxModuleSlots) {
        problem("module count " + std::to_string(moduleCount) + " beyond the block");
        moduleCount = kMaxModuleSlots;
    }
    if (processCount > kMaxProcessSlots) {
        problem("process count " + std::to_string(processCount) + " beyond the block");
        processCount = kMaxProcessSlots;
    }

    for (uint32_t i = 0; i < moduleCount; ++i) {
        ModuleRecord rec = *block.ModuleSlot(i);
        rec.baseName[kNameSize - 1] = 0;
        rec.fullPath[kPathSize - 1] = 0;
        pub.modules.push_back(rec);
        const std::string path = rec.fullPath;
        if (!IsKnownStatus(rec.status) || rec.status == ST_FINISHED || rec.status == ST_NEW_FINISHED)
            problem("module " + path + " with status " + std::to_string(rec.status));
        if (pub.full) {
            // A snapshot is the whole table in order: positions as sent.
            modules.push_back(rec);
            continue;
        }
        if (rec.status == ST_REPORTED) problem("unchanged module " + path + " in a delta");
        int known = FindModule(path);
        if (known < 0) {
            modules.push_back(rec);
        } else {
            if (rec.status == ST_NEW) problem("module " + path + " sent as new again");
            modules[size_t(known)] = rec;
        }
    }

    for (uint32_t i = 0; i < processCount; ++i) {
        const ProcessRecord& rec = *block.ProcessSlot(i);
        pub.processes.push_back(rec);
        const std::string tag = "process " + std::to_string(rec.processId);
        if (!IsKnownStatus(rec.status)) problem(tag + " with status " + std::to_string(rec.status));
        if (!pub.full && rec.status == ST_REPORTED) problem("unchanged " + tag + " in a delta");
        const bool ended = IsEnded(rec.status);
        if (ended != (ToU64(rec.exitTime) != 0))
            problem(tag + " with status " + std::to_string(rec.status) + " and exit time " +
                    std::to_string(ToU64(rec.exitTime)));
        if (rec.moduleCount == 0 || rec.moduleCount > kMaxModulesPerProcess) {
            problem(tag + " with module count " + std::to_string(rec.moduleCount));
        } else {
            for (uint32_t j = 0; j < rec.moduleCount; ++j) {
                if (rec.moduleIndex[j] >= modules.size())
                    problem(tag + ": module index " + std::to_string(rec.moduleIndex[j]) + " at slot " +
                            std::to_string(j) + " beyond the client's " + std::to_string(modules.size()) +
                            " modules");
            }
        }
        auto held = std::find_if(processes.begin(), processes.end(),
                                 [&](const ProcessRecord& p) { return p.processId == rec.processId; });
        if (ended) {
            if (held != processes.end()) processes.erase(held);
        } else if (held != processes.end()) {
            *held = rec;
        } else {
            processes.push_back(rec);
        }
    }
    log.push_back(std::move(pub));
}

int CClientTables::FindModule(const std::string& path) const {
    for (size_t i = 0; i < modules.size(); ++i) {
        if (EqualsNoCase(modules[i].fullPath, path)) return int(i);
    }
    return -1;
}

const ProcessRecord* CClientTables::Running(uint32_t processId) const {
    for (const ProcessRecord& p : processes) {
        if (p.processId == processId) return &p;
    }
    return nullptr;
}

std::string CClientTables::ModulePath(const ProcessRecord& rec, uint32_t slot) const {
    if (slot >= rec.moduleCount || slot >= kMaxModulesPerProcess) return std::string();
    if (rec.moduleIndex[slot] >= modules.size()) return std::string();
    return modules[rec.moduleIndex[slot]].fullPath;
}

std::vector<CClientTables::Sent> CClientTables::Published(uint32_t processId, size_t from) const {
    std::vector<Sent> sent;
    for (size_t i = from; i < log.size(); ++i) {
        for (const ProcessRecord& p : log[i].processes) {
            if (p.processId == processId) sent.push_back(Sent{i, p});
        }
    }
    return sent;
}

}  // namespace ub::wine
