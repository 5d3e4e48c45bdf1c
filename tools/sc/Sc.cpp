// Sc.exe: a minimal service control tool over the service control manager,
// shipped in the program folder so the client can start and stop the
// service by name wherever it is installed.
//
//   Sc.exe start NAME
//   Sc.exe stop NAME
//   Sc.exe query NAME                 prints STATE and WIN32_EXIT_CODE
//   Sc.exe create NAME binPath= PATH  own process, demand start
//   Sc.exe delete NAME
//
// The exit status is 0 on success, else the Windows error code.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Fail(const char* what) {
    DWORD error = ::GetLastError();
    std::fprintf(stderr, "[SC] %s FAILED %lu\n", what, static_cast<unsigned long>(error));
    return error ? int(error) : 1;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: Sc.exe start|stop|query|delete NAME\n"
                 "       Sc.exe create NAME binPath= PATH\n");
    return ERROR_INVALID_PARAMETER;
}

// Handles closed on scope exit.
struct ScHandle {
    SC_HANDLE h;
    explicit ScHandle(SC_HANDLE v) : h(v) {}
    ~ScHandle() {
        if (h) ::CloseServiceHandle(h);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
};

int Create(SC_HANDLE manager, const char* name, const char* path) {
    // Quoted, so that a folder with a space cannot be misread as a shorter
    // program path.
    std::string command = path;
    if (command.find(' ') != std::string::npos && command.front() != '"') command = "\"" + command + "\"";
    ScHandle service(::CreateServiceA(manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                      SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, command.c_str(), nullptr,
                                      nullptr, nullptr, nullptr, nullptr));
    if (!service.h) return Fail("CreateService");
    std::printf("[SC] CreateService SUCCESS\n");
    return 0;
}

int Run(int argc, char** argv) {
    if (argc < 3) return Usage();
    const char* verb = argv[1];
    const char* name = argv[2];
    bool create = ::lstrcmpiA(verb, "create") == 0;
    ScHandle manager(::OpenSCManagerA(nullptr, nullptr, create ? SC_MANAGER_CREATE_SERVICE : SC_MANAGER_CONNECT));
    if (!manager.h) return Fail("OpenSCManager");

    if (create) {
        if (argc != 5 || ::lstrcmpiA(argv[3], "binPath=") != 0) return Usage();
        return Create(manager.h, name, argv[4]);
    }
    if (argc != 3) return Usage();

    if (::lstrcmpiA(verb, "start") == 0) {
        ScHandle service(::OpenServiceA(manager.h, name, SERVICE_START));
        if (!service.h) return Fail("OpenService");
        if (!::StartServiceA(service.h, 0, nullptr)) return Fail("StartService");
        std::printf("[SC] StartService SUCCESS\n");
        return 0;
    }
    if (::lstrcmpiA(verb, "stop") == 0) {
        ScHandle service(::OpenServiceA(manager.h, name, SERVICE_STOP));
        if (!service.h) return Fail("OpenService");
        SERVICE_STATUS status = {};
        if (!::ControlService(service.h, SERVICE_CONTROL_STOP, &status)) return Fail("ControlService");
        std::printf("[SC] ControlService SUCCESS\n");
        return 0;
    }
    if (::lstrcmpiA(verb, "query") == 0) {
        ScHandle service(::OpenServiceA(manager.h, name, SERVICE_QUERY_STATUS));
        if (!service.h) return Fail("OpenService");
        SERVICE_STATUS status = {};
        if (!::QueryServiceStatus(service.h, &status)) return Fail("QueryServiceStatus");
        std::printf("STATE: %lu\nWIN32_EXIT_CODE: %lu\n", static_cast<unsigned long>(status.dwCurrentState),
                    static_cast<unsigned long>(status.dwWin32ExitCode));
        return 0;
    }
    if (::lstrcmpiA(verb, "delete") == 0) {
        ScHandle service(::OpenServiceA(manager.h, name, DELETE));
        if (!service.h) return Fail("OpenService");
        if (!::DeleteService(service.h)) return Fail("DeleteService");
        std::printf("[SC] DeleteService SUCCESS\n");
        return 0;
    }
    return Usage();
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (...) {
        return 1;
    }
}
