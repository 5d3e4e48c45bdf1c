// UBsvr.exe run for real as the service "Umbrastead" under Wine's service
// control manager, in the test run's prefix, with this program (and later a
// separate client program) on the other side of the shared block: start-up,
// what a client receives, the pace of the rounds, stops, a client that dies,
// a second instance, and a start outside the service manager.
//
// The steps build on each other and run in the order written: the service is
// registered once and restarted only where a step needs a fresh one. This
// program must keep running while the service runs (Wine stops its services
// once no program of the user is left), so everything is driven from here.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/SharedFormat.h"
#include "client/monitor/win32/Win32Classification.h"
#include "common/win32/Win32Channel.h"
#include "tests/support/ClientFixture.h"
#include "tests/wine/FixtureProcess.h"
#include "tests/wine/FixtureTable.h"
#include "tests/wine/ServiceHarness.h"

namespace ub {
namespace {

using wine::BinFolder;
using wine::CClientTables;
using wine::CFixtureProcess;
using wine::CFixtureSet;
using wine::EqualsNoCase;
using wine::kServiceWaitMs;
using wine::PollUntil;
using wine::ServiceState;

constexpr char kService[] = "Umbrastead";
constexpr char kSecondService[] = "UmbrasteadTwo";
constexpr DWORD kStartFailed = 0xFFFFFFFF;
// How long the block must stay untouched before the service counts as
// waiting for a client. Unregistered, it would otherwise publish after every
// round: every 500 ms by default, every 100 ms plus a scan with delay code 3.
constexpr DWORD kQuietMs = 5000;
// Window in which the round delays are compared.
constexpr DWORD kPaceWindowMs = 10000;

// Consumes without keeping anything: for publications the test only counts.
class CDiscardingMerge : public IChannelMerge {
public:
    void ClearTables() override {}
    void Merge(const CChannelBlock&) override {}
};

std::string ServicePath() { return BinFolder() + "UBsvr.exe"; }

bool EventIsSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// Positions in `rec`'s module list whose module file name is `baseName`.
std::vector<uint32_t> SlotsNamed(const CClientTables& t, const ProcessRecord& rec, const std::string& baseName) {
    std::vector<uint32_t> slots;
    for (uint32_t i = 0; i < rec.moduleCount && i < kMaxModulesPerProcess; ++i) {
        if (rec.moduleIndex[i] < t.modules.size() && EqualsNoCase(t.modules[rec.moduleIndex[i]].baseName, baseName))
            slots.push_back(i);
    }
    return slots;
}

class ServiceRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_setupError.clear();
        // A registration left by an interrupted run goes first.
        for (const char* name : {kService, kSecondService}) {
            ::testing::AssertionResult removed = wine::RemoveService(name);
            if (!removed) s_setupError += std::string(removed.message()) + "; ";
        }
        // Running before the service starts: its first round finds them.
        s_fixtures = std::make_unique<CFixtureSet>();
        ::testing::AssertionResult started = s_fixtures->Start(wine::kFixturePrograms);
        if (!started) s_setupError += std::string(started.message()) + "; ";
        s_channel = std::make_unique<CWin32Channel>();
        if (!s_channel->OpenChannel())
            s_setupError += "cannot open the channel: " + std::to_string(GetLastError()) + "; ";
        s_tables = std::make_unique<CClientTables>();
    }

    static void TearDownTestSuite() {
        s_client.reset();
        for (const char* name : {kSecondService, kService}) {
            ::testing::AssertionResult removed = wine::RemoveService(name);
            if (!removed) ADD_FAILURE() << "clean-up: " << removed.message();
        }
        if (s_serviceProcess) CloseHandle(s_serviceProcess);
        s_serviceProcess = nullptr;
        s_channel.reset();
        s_tables.reset();
        s_fixtures.reset();
    }

    void SetUp() override { ASSERT_TRUE(s_setupError.empty()) << s_setupError; }

    static CChannelBlock& Block() { return s_channel->Block(); }
    static HANDLE ClientEvent() { return s_channel->ClientEvent(); }
    static CClientTables& Tables() { return *s_tables; }

    static ::testing::AssertionResult ServiceRunning() {
        ServiceState s = wine::QueryServiceByName(kService);
        if (s.exists && !s.error && s.state == SERVICE_RUNNING && s_serviceProcess &&
            WaitForSingleObject(s_serviceProcess, 0) == WAIT_TIMEOUT)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the service does not run: " << wine::Describe(s);
    }

    // Waits until a service process other than `previous` has written its
    // ID into the header and the service manager reports it running; keeps
    // a handle to that process.
    static ::testing::AssertionResult WaitForServiceStart(uint32_t previous) {
        if (!PollUntil([&] { return Block().ServicePid() != 0 && Block().ServicePid() != previous; }))
            return ::testing::AssertionFailure() << "no service process ID in the header within "
                                                 << kServiceWaitMs << " ms (" << Block().ServicePid() << ")";
        const uint32_t pid = Block().ServicePid();
        ServiceState s;
        if (!PollUntil([&] {
                s = wine::QueryServiceByName(kService);
                return s.state == SERVICE_RUNNING;
            }))
            return ::testing::AssertionFailure() << "not reported running: " << wine::Describe(s);
        if (s.processId != pid)
            return ::testing::AssertionFailure() << "header names process " << pid << ", the service manager "
                                                 << s.processId;
        if (s_serviceProcess) CloseHandle(s_serviceProcess);
        s_serviceProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
        s_servicePid = pid;
        if (!s_serviceProcess)
            return ::testing::AssertionFailure() << "cannot open service process " << pid << ": " << GetLastError();
        return ::testing::AssertionSuccess();
    }

    // Registers this program as the client, as the client program does.
    static void RegisterAsClient() {
        Block().SetClientPid(GetCurrentProcessId());
        SetEvent(ClientEvent());
    }

    // Asks for a full snapshot at every tick until one has been merged.
    static ::testing::AssertionResult RequestSnapshot() {
        if (PollUntil([] { return SyncFromChannel(Block(), s_channel->Lock(), true, Tables()) == 2; }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no snapshot within " << kServiceWaitMs << " ms (state "
                                             << int(Block().State()) << ")";
    }

    // Consumes publications into the client tables until `done`.
    template <class Done>
    static bool ConsumeUntil(Done done) {
        return PollUntil([&] {
            SyncFromChannel(Block(), s_channel->Lock(), false, Tables());
            return done();
        }, kServiceWaitMs, 10);
    }

    // Consumes whatever is pending, then watches the block until nothing has
    // been published for kQuietMs; `publications` counts what came meanwhile.
    static ::testing::AssertionResult WaitUntilIdle(int* publications) {
        CDiscardingMerge discard;
        *publications = 0;
        SyncFromChannel(Block(), s_channel->Lock(), false, discard);
        const DWORD start = GetTickCount();
        DWORD quietSince = start;
        for (;;) {
            if (SyncFromChannel(Block(), s_channel->Lock(), false, discard) != 0) {
                ++*publications;
                quietSince = GetTickCount();
            }
            if (GetTickCount() - quietSince >= kQuietMs) return ::testing::AssertionSuccess();
            if (GetTickCount() - start >= kServiceWaitMs)
                return ::testing::AssertionFailure() << "still publishing after " << kServiceWaitMs << " ms ("
                                                     << *publications << " publications)";
            Sleep(5);
        }
    }

    // After a stop request: the service reports stopped with exit code 0,
    // and its process clears the header's service process ID and ends.
    static void ExpectStoppedAndGone() {
        ServiceState s;
        EXPECT_TRUE(PollUntil([&] {
            s = wine::QueryServiceByName(kService);
            return s.state == SERVICE_STOPPED;
        })) << wine::Describe(s);
        EXPECT_EQ(s.exitCode, 0u) << wine::Describe(s);
        ASSERT_EQ(WaitForSingleObject(s_serviceProcess, kServiceWaitMs), WAIT_OBJECT_0)
            << "service process " << s_servicePid << " still runs";
        // Read after the process has ended: the worker cleared it first.
        EXPECT_EQ(Block().ServicePid(), 0u);
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeProcess(s_serviceProcess, &code));
        EXPECT_EQ(code, 1u) << "the program's exit status is the dispatcher's result";
        EXPECT_TRUE(PollUntil([] { return wine::ProcessesWithImage("UBsvr.exe").empty(); }))
            << "a UBsvr.exe process is left";
    }

    static std::unique_ptr<CFixtureSet> s_fixtures;
    static std::unique_ptr<CWin32Channel> s_channel;
    static std::unique_ptr<CClientTables> s_tables;
    static std::unique_ptr<CFixtureProcess> s_client;  // the separate client program
    static HANDLE s_serviceProcess;
    static uint32_t s_servicePid;
    static std::string s_setupError;
};

std::unique_ptr<CFixtureSet> ServiceRun::s_fixtures;
std::unique_ptr<CWin32Channel> ServiceRun::s_channel;
std::unique_ptr<CClientTables> ServiceRun::s_tables;
std::unique_ptr<CFixtureProcess> ServiceRun::s_client;
HANDLE ServiceRun::s_serviceProcess = nullptr;
uint32_t ServiceRun::s_servicePid = 0;
std::string ServiceRun::s_setupError;

// Registered and started with Sc.exe, as the client installs and starts it.
TEST_F(ServiceRun, Step01_StartedServiceWritesItsProcessId) {
    ASSERT_EQ(Block().ServicePid(), 0u) << "the block is not fresh";
    wine::CapturedRun run;
    ASSERT_TRUE(wine::RunCaptured("Sc.exe", std::string("create ") + kService + " binPath= \"" + ServicePath() + "\"", &run));
    ASSERT_EQ(run.exitCode, 0u) << run.output << run.errors;
    ASSERT_TRUE(wine::RunCaptured("Sc.exe", std::string("start ") + kService, &run));
    ASSERT_EQ(run.exitCode, 0u) << run.output << run.errors;
    EXPECT_NE(run.output.find("StartService SUCCESS"), std::string::npos) << run.output;

    ASSERT_TRUE(WaitForServiceStart(0));
    EXPECT_TRUE(EqualsNoCase(wine::ImagePathOf(s_servicePid), ServicePath())) << wine::ImagePathOf(s_servicePid);
    EXPECT_EQ(wine::ProcessesWithImage("UBsvr.exe"), std::vector<uint32_t>{s_servicePid});

    ASSERT_TRUE(wine::RunCaptured("Sc.exe", std::string("query ") + kService, &run));
    EXPECT_EQ(run.exitCode, 0u) << run.errors;
    EXPECT_NE(run.output.find("STATE: 4"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("WIN32_EXIT_CODE: 0"), std::string::npos) << run.output;
}

// Without a client the first round publishes a full snapshot, then the
// service waits for the client-present event and publishes nothing more.
TEST_F(ServiceRun, Step02_WithoutClientOneSnapshotThenNothing) {
    ASSERT_TRUE(ServiceRunning());
    ASSERT_TRUE(PollUntil([] { return Block().State() == CS_FULL_READY; }))
        << "no first snapshot; state " << int(Block().State());
    // The state is set before the slots and counts are filled: the counts
    // are read under the sync mutex, as the client reads them.
    uint32_t processes = 0, modules = 0;
    ASSERT_TRUE(s_channel->Lock().Acquire());
    processes = Block().ProcessCount();
    modules = Block().ModuleCount();
    s_channel->Lock().Release();
    EXPECT_GE(processes, 8u);
    EXPECT_GT(modules, 0u);

    int published = 0;
    ASSERT_TRUE(WaitUntilIdle(&published));
    EXPECT_EQ(published, 0) << "rounds ran with no client registered";
    EXPECT_EQ(Block().ClientPid(), 0u);
}

// This program registers and asks for a snapshot: it holds every fixture
// with its findings on the right module, the service and itself.
TEST_F(ServiceRun, Step03_RegisteredClientReceivesFullSnapshot) {
    ASSERT_TRUE(ServiceRunning());
    RegisterAsClient();
    ASSERT_TRUE(RequestSnapshot());
    const CClientTables& t = Tables();
    EXPECT_TRUE(t.log.back().full);
    for (const std::string& p : t.problems) ADD_FAILURE() << p;

    struct Case {
        std::string exe;
        uint32_t pid;
        HANDLE process;  // for its creation time
    };
    std::vector<Case> cases;
    for (const char* exe : wine::kFixturePrograms)
        cases.push_back({exe, (*s_fixtures)[exe].Pid(), (*s_fixtures)[exe].Handle()});
    cases.push_back({"UBsvr.exe", s_servicePid, s_serviceProcess});
    cases.push_back({"ub_service_tests.exe", GetCurrentProcessId(), GetCurrentProcess()});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exe);
        const ProcessRecord* rec = t.Running(c.pid);
        ASSERT_NE(rec, nullptr) << "PID " << c.pid << " not in the snapshot";
        EXPECT_EQ(ToU64(rec->exitTime), 0u);
        EXPECT_EQ(ToU64(rec->creationTime), wine::TimesOf(c.process).creation);
        EXPECT_TRUE(EqualsNoCase(t.ModulePath(*rec, 0), BinFolder() + c.exe)) << t.ModulePath(*rec, 0);
    }

    struct Finding {
        std::string exe, module;
        uint32_t pid;
        uint32_t flags;
    };
    std::vector<Finding> findings;
    for (const wine::FixtureExpectation& e : wine::kFixtureExpectations)
        findings.push_back({e.exe, e.module, (*s_fixtures)[e.exe].Pid(), e.flags});
    // The service reads process memory itself.
    findings.push_back({"UBsvr.exe", "UBsvr.exe", s_servicePid, MF_READ_PROCESS_MEMORY});
    for (const Finding& f : findings) {
        SCOPED_TRACE(f.exe + ": " + f.module);
        const ProcessRecord* rec = t.Running(f.pid);
        ASSERT_NE(rec, nullptr);
        std::vector<uint32_t> slots = SlotsNamed(t, *rec, f.module);
        ASSERT_EQ(slots.size(), 1u);
        const ModuleRecord& m = t.modules[rec->moduleIndex[slots[0]]];
        EXPECT_EQ(m.flags, f.flags) << std::hex << m.flags;
        EXPECT_TRUE(EqualsNoCase(m.fullPath, BinFolder() + f.module)) << m.fullPath;
    }

    // As the client does after its first snapshot; fast rounds from here on.
    SetServiceSpeed(Block(), 0, 3);
}

// A process started later comes in a delta as new, with its image appended
// to the client's module table; once ended it comes once more, as ended,
// and never again.
TEST_F(ServiceRun, Step04_DeltasCarryNewAndEndedProcesses) {
    ASSERT_TRUE(ServiceRunning());
    CClientTables& t = Tables();
    ASSERT_FALSE(t.log.empty());
    const size_t from = t.log.size();
    const size_t modulesHeld = t.modules.size();
    const std::string latePath = BinFolder() + "fixture_late.exe";
    ASSERT_LT(t.FindModule(latePath), 0) << "fixture_late.exe known before it ran";

    CFixtureProcess late;
    ASSERT_TRUE(late.Start("fixture_late.exe"));
    ASSERT_TRUE(ConsumeUntil([&] { return !t.Published(late.Pid(), from).empty(); }))
        << "PID " << late.Pid() << " never published";
    {
        SCOPED_TRACE("first publication");
        const CClientTables::Sent first = t.Published(late.Pid(), from).front();
        const wine::Publication& carrier = t.log[first.publication];
        EXPECT_FALSE(carrier.full);
        EXPECT_EQ(first.record.status, ST_NEW);
        EXPECT_EQ(ToU64(first.record.exitTime), 0u);
        EXPECT_EQ(ToU64(first.record.creationTime), wine::TimesOf(late.Handle()).creation);

        // Its image is new to the client: sent in the same delta as new, and
        // placed after everything the client held.
        int imagePos = t.FindModule(latePath);
        ASSERT_GE(imagePos, 0);
        EXPECT_GE(size_t(imagePos), modulesHeld);
        bool sentAsNew = false;
        for (const ModuleRecord& m : carrier.modules)
            sentAsNew |= EqualsNoCase(m.fullPath, latePath) && m.status == ST_NEW;
        EXPECT_TRUE(sentAsNew);
        EXPECT_EQ(first.record.moduleIndex[0], uint32_t(imagePos));
    }
    {
        SCOPED_TRACE("modules the client knew");
        // A round may have caught the process while it was still loading:
        // wait until the client holds it with all its DLLs.
        const ProcessRecord* rec = nullptr;
        ASSERT_TRUE(ConsumeUntil([&] {
            rec = t.Running(late.Pid());
            return rec && SlotsNamed(t, *rec, "msvcrt.dll").size() == 1;
        }));
        // Same positions as in a process of the snapshot.
        const ProcessRecord* clean = t.Running((*s_fixtures)["fixture_clean.exe"].Pid());
        ASSERT_NE(clean, nullptr);
        for (const char* dll : {"ntdll.dll", "kernel32.dll", "msvcrt.dll"}) {
            SCOPED_TRACE(dll);
            std::vector<uint32_t> lateSlots = SlotsNamed(t, *rec, dll);
            std::vector<uint32_t> cleanSlots = SlotsNamed(t, *clean, dll);
            ASSERT_EQ(lateSlots.size(), 1u);
            ASSERT_EQ(cleanSlots.size(), 1u);
            EXPECT_EQ(rec->moduleIndex[lateSlots[0]], clean->moduleIndex[cleanSlots[0]]);
            EXPECT_LT(rec->moduleIndex[lateSlots[0]], modulesHeld);
        }
    }

    ASSERT_TRUE(late.Terminate(1));
    const wine::RawTimes times = wine::TimesOf(late.Handle());
    const size_t afterEnd = t.log.size();
    auto endedAt = [&]() -> int {
        for (const CClientTables::Sent& s : t.Published(late.Pid(), afterEnd)) {
            if (s.record.status == ST_FINISHED || s.record.status == ST_NEW_FINISHED) return int(s.publication);
        }
        return -1;
    };
    ASSERT_TRUE(ConsumeUntil([&] { return endedAt() >= 0; })) << "the end of PID " << late.Pid() << " never published";
    const size_t endedPub = size_t(endedAt());
    {
        SCOPED_TRACE("publication of the end");
        EXPECT_FALSE(t.log[endedPub].full);
        const CClientTables::Sent ended = t.Published(late.Pid(), endedPub).front();
        EXPECT_NE(ToU64(ended.record.exitTime), 0u);
        EXPECT_EQ(ToU64(ended.record.exitTime), times.exit);
        EXPECT_EQ(ToU64(ended.record.creationTime), times.creation);
        EXPECT_EQ(t.Running(late.Pid()), nullptr);
    }
    // Several more deltas: the service no longer has the record.
    ASSERT_TRUE(ConsumeUntil([&] { return t.log.size() >= endedPub + 1 + 6; }));
    EXPECT_EQ(t.Published(late.Pid(), endedPub).size(), 1u);
    for (const std::string& p : t.problems) ADD_FAILURE() << p;
}

// The client's model over the real service's publications: the first
// snapshot through the refresh timers, the fixtures' warnings under
// "Warning list" and every fixture under "Processes"; the service itself
// stays out of the warnings as one of the client's own programs.
TEST_F(ServiceRun, Step04b_ClientModelOverRealPublications) {
    ASSERT_TRUE(ServiceRunning());
    CWin32FileAttributes attributes;
    CWin32VersionInfo versions;
    test::FakeArchiveFile archive;
    test::FakeQuarantineFiles files;
    TreePlatform platform;
    platform.attributes = &attributes;
    platform.versionInfo = &versions;
    platform.archive = &archive;
    platform.files = &files;
    platform.folders = ReadTrustedFolders();
    ASSERT_TRUE(EqualsNoCase(platform.folders.programFolder, BinFolder()));
    test::ClientFixture client(&platform);
    client.monitor.Attach(&Block(), &s_channel->Lock());
    client.monitor.Start();
    ASSERT_TRUE(PollUntil([&] {
        client.monitor.OnRefreshTimer(TIMER_FIRST_SNAPSHOT);
        return client.monitor.Synchronised();
    })) << "no snapshot merged";
    EXPECT_EQ(client.timers.running.count(TIMER_REFRESH), 1u);
    EXPECT_EQ(client.frame.waitClosed, 1);
    EXPECT_TRUE(client.frame.alerting);

    struct Warning {
        const char* module;
        int icon;
    } warnings[] = {{"fixture_cmf.exe", ICON_LEVEL_MID}, {"fixture_dap.exe", ICON_LEVEL_HIGH},
                    {"fixture_hook.dll", ICON_LEVEL_HIGH}, {"fixture_rpm.exe", ICON_LEVEL_MID},
                    {"fixture_wpm.exe", ICON_LEVEL_HIGH}};
    const FixedNodes& nodes = client.Nodes();
    std::vector<std::string> texts = client.Warnings();
    for (const Warning& w : warnings) {
        SCOPED_TRACE(w.module);
        ModuleRecord* m = client.Module((BinFolder() + w.module).c_str());
        ASSERT_NE(m, nullptr);
        TreeItem item = client.ItemOf(nodes.warningList, m);
        ASSERT_NE(item, kNoItem) << testing::PrintToString(texts);
        EXPECT_EQ(client.tree.NodeOf(item).image, w.icon);
    }
    for (const std::string& t : texts) EXPECT_FALSE(EqualsNoCase(t, "UBsvr.exe")) << "the service is a warning";

    for (const char* exe : wine::kFixturePrograms) {
        SCOPED_TRACE(exe);
        ProcessRecord* p = client.Process((*s_fixtures)[exe].Pid());
        ASSERT_NE(p, nullptr);
        TreeItem item = client.ItemOf(nodes.processes, p);
        ASSERT_NE(item, kNoItem);
        EXPECT_TRUE(EqualsNoCase(client.tree.NodeOf(item).text, exe));
        EXPECT_EQ(client.tree.Children(item).size(), std::min<uint32_t>(p->moduleCount, kMaxModulesPerProcess));
    }
    ProcessRecord* loader = client.Process((*s_fixtures)["fixture_loader.exe"].Pid());
    TreeItem loaderItem = client.ItemOf(nodes.processes, loader);
    TreeItem hookItem = client.ItemOf(loaderItem, client.Module((BinFolder() + "fixture_hook.dll").c_str()));
    ASSERT_NE(hookItem, kNoItem);
    EXPECT_EQ(client.tree.NodeOf(hookItem).image, ICON_LEVEL_HIGH);

    // A process started now arrives in a delta at the paced timer, bold.
    CFixtureProcess late;
    ASSERT_TRUE(late.Start("fixture_late.exe"));
    ProcessRecord* arrived = nullptr;
    EXPECT_TRUE(PollUntil([&] {
        client.monitor.OnRefreshTimer(TIMER_REFRESH);
        arrived = client.Process(late.Pid());
        return arrived != nullptr;
    })) << "fixture_late.exe never arrived";
    if (arrived) {
        EXPECT_EQ(client.tree.NodeOf(client.ItemOf(nodes.processes, arrived)).state, uint32_t(TREE_BOLD));
    }
    EXPECT_TRUE(late.Terminate(1));

    // Back to this program's own tables and the fast pace of the later steps.
    SetServiceSpeed(Block(), 0, 3);
    ASSERT_TRUE(RequestSnapshot());
}

// Delay code 1 (2500 ms) against delay code 3 (100 ms), counted as deltas
// consumed at once in windows of the same length. Each window starts two
// publications after the code was set, so that no round still sleeps for
// the previous delay.
TEST_F(ServiceRun, Step05_DelayCodeSetsRoundPace) {
    ASSERT_TRUE(ServiceRunning());
    CClientTables& t = Tables();
    auto countInWindow = [&](uint32_t delayCode, size_t* count) {
        SetServiceSpeed(Block(), 0, delayCode);
        const size_t settle = t.log.size() + 2;
        ASSERT_TRUE(ConsumeUntil([&] { return t.log.size() >= settle; }));
        const size_t begin = t.log.size();
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < kPaceWindowMs) {
            SyncFromChannel(Block(), s_channel->Lock(), false, t);
            Sleep(5);
        }
        *count = t.log.size() - begin;
    };
    size_t slow = 0, fast = 0;
    countInWindow(1, &slow);
    if (HasFatalFailure()) return;
    countInWindow(3, &fast);
    if (HasFatalFailure()) return;
    std::printf("[  note    ] deltas in %lu ms: delay code 1: %zu, delay code 3: %zu\n",
                static_cast<unsigned long>(kPaceWindowMs), slow, fast);

    // Rounds at least 2500 ms apart: never more than this in the window.
    EXPECT_LE(slow, size_t(kPaceWindowMs / 2500 + 1));
    EXPECT_GE(slow, 1u);
    EXPECT_GE(fast, 2 * slow + 2);
    for (const std::string& p : t.problems) ADD_FAILURE() << p;
}

// Controls other than stop only get the status reported back: the service
// keeps running and publishing.
TEST_F(ServiceRun, Step06_OtherControlsLeaveItRunning) {
    ASSERT_TRUE(ServiceRunning());
    struct Case {
        const char* name;
        DWORD control;
    } cases[] = {
        {"interrogate", SERVICE_CONTROL_INTERROGATE},
        {"user-defined 200", 200},
    };
    CClientTables& t = Tables();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SERVICE_STATUS status;
        EXPECT_EQ(wine::ControlServiceNamed(kService, c.control, &status), 0u);
        EXPECT_EQ(status.dwCurrentState, DWORD(SERVICE_RUNNING));
        EXPECT_EQ(status.dwControlsAccepted, DWORD(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN));
        ASSERT_TRUE(ServiceRunning());
        const size_t next = t.log.size() + 2;
        EXPECT_TRUE(ConsumeUntil([&] { return t.log.size() >= next; })) << "publications stopped";
        EXPECT_EQ(Block().ServicePid(), s_servicePid);
    }
}

// A stop request while rounds run for a client: stopped is reported at
// once (in the answer to the request), the worker clears the header and the
// process ends.
TEST_F(ServiceRun, Step07_StopWhileScanningClearsHeaderAndEnds) {
    ASSERT_TRUE(ServiceRunning());
    ASSERT_EQ(Block().ClientPid(), GetCurrentProcessId());
    SERVICE_STATUS status;
    ASSERT_EQ(wine::ControlServiceNamed(kService, SERVICE_CONTROL_STOP, &status), 0u);
    EXPECT_EQ(status.dwCurrentState, DWORD(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    ExpectStoppedAndGone();
}

// A fresh service (this program no longer registered) serves a separate
// client; killed, the client is dropped: ID cleared, event reset, at most
// one more round, then nothing until the next client, which is served.
TEST_F(ServiceRun, Step08_KilledClientIsDroppedAndNextOneServed) {
    ASSERT_EQ(wine::QueryServiceByName(kService).state, DWORD(SERVICE_STOPPED));
    // Closing every handle to the channel objects ends this program's
    // registration with them.
    s_channel->CloseChannel();
    s_tables = std::make_unique<CClientTables>();
    ASSERT_TRUE(s_channel->OpenChannel()) << GetLastError();
    ASSERT_EQ(Block().ClientPid(), 0u) << "the channel objects outlived both sides";
    ASSERT_FALSE(EventIsSet(ClientEvent()));

    ASSERT_EQ(wine::StartServiceNamed(kService), 0u);
    ASSERT_TRUE(WaitForServiceStart(s_servicePid));
    ASSERT_TRUE(PollUntil([] { return Block().State() == CS_FULL_READY; }))
        << "no first snapshot; state " << int(Block().State());
    // Consumed here, so that only a round run for the client can answer its
    // request.
    CDiscardingMerge discard;
    ASSERT_EQ(SyncFromChannel(Block(), s_channel->Lock(), false, discard), 2);
    SetServiceSpeed(Block(), 0, 3);

    s_client = std::make_unique<CFixtureProcess>();
    ASSERT_TRUE(s_client->Start("fixture_client.exe"));
    const uint32_t killed = s_client->Pid();
    EXPECT_EQ(Block().ClientPid(), killed);
    EXPECT_TRUE(EventIsSet(ClientEvent()));

    ASSERT_TRUE(s_client->Terminate(1));
    ASSERT_TRUE(PollUntil([] { return Block().ClientPid() == 0 && !EventIsSet(ClientEvent()); }))
        << "client ID " << Block().ClientPid() << ", event set: " << EventIsSet(ClientEvent());
    int published = 0;
    ASSERT_TRUE(WaitUntilIdle(&published));
    EXPECT_LE(published, 1) << "more than one round after the client was dropped";
    EXPECT_TRUE(ServiceRunning());

    ASSERT_TRUE(s_client->Start("fixture_client.exe")) << "the next client got no snapshot";
    EXPECT_NE(s_client->Pid(), killed);
    EXPECT_EQ(Block().ClientPid(), s_client->Pid());
    EXPECT_TRUE(EventIsSet(ClientEvent()));
}

// The same program started as another service while the first instance
// runs finds the instance mutex taken: it stops with exit code 0xFFFFFFFF
// without touching the channel, and the first instance carries on.
TEST_F(ServiceRun, Step09_SecondInstanceStopsWithErrorCode) {
    ASSERT_TRUE(ServiceRunning());
    ASSERT_TRUE(s_client);
    ASSERT_TRUE(wine::CreateServiceNamed(kSecondService, ServicePath()));
    const DWORD startError = wine::StartServiceNamed(kSecondService);
    std::printf("[  note    ] StartService(%s) with the first instance running: error %lu\n", kSecondService,
                static_cast<unsigned long>(startError));

    ServiceState two;
    EXPECT_TRUE(PollUntil([&] {
        two = wine::QueryServiceByName(kSecondService);
        return two.state == SERVICE_STOPPED && two.exitCode == kStartFailed;
    })) << wine::Describe(two) << "; StartService error " << startError;
    EXPECT_TRUE(PollUntil([] { return wine::ProcessesWithImage("UBsvr.exe") == std::vector<uint32_t>{s_servicePid}; }))
        << "the second instance's process did not end";

    EXPECT_TRUE(ServiceRunning());
    EXPECT_EQ(Block().ServicePid(), s_servicePid);
    EXPECT_EQ(Block().ClientPid(), s_client->Pid());
    EXPECT_TRUE(wine::RemoveService(kSecondService));
}

// Sc.exe stop while the service waits for a client (the client was
// killed): the wait is cut short, the header is cleared, the process ends.
TEST_F(ServiceRun, Step10_ScStopWhileWaitingForClient) {
    ASSERT_TRUE(ServiceRunning());
    ASSERT_TRUE(s_client);
    ASSERT_TRUE(s_client->Terminate(1));
    ASSERT_TRUE(PollUntil([] { return Block().ClientPid() == 0 && !EventIsSet(ClientEvent()); }));
    int published = 0;
    ASSERT_TRUE(WaitUntilIdle(&published));
    EXPECT_LE(published, 1);

    wine::CapturedRun run;
    ASSERT_TRUE(wine::RunCaptured("Sc.exe", std::string("stop ") + kService, &run));
    EXPECT_EQ(run.exitCode, 0u) << run.output << run.errors;
    EXPECT_NE(run.output.find("ControlService SUCCESS"), std::string::npos) << run.output;
    ExpectStoppedAndGone();

    ASSERT_TRUE(wine::RunCaptured("Sc.exe", std::string("query ") + kService, &run));
    EXPECT_EQ(run.exitCode, 0u) << run.errors;
    EXPECT_NE(run.output.find("STATE: 1"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("WIN32_EXIT_CODE: 0"), std::string::npos) << run.output;
}

// With the instance mutex held elsewhere, a start fails the same way:
// stopped with exit code 0xFFFFFFFF, the header left alone.
TEST_F(ServiceRun, Step11_StartFailsWhileInstanceMutexHeld) {
    ASSERT_EQ(wine::QueryServiceByName(kService).state, DWORD(SERVICE_STOPPED));
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kSvrMutexName);
    ASSERT_NE(mutex, nullptr);
    struct Closer {
        HANDLE h;
        ~Closer() { CloseHandle(h); }
    } closer{mutex};
    ASSERT_NE(GetLastError(), DWORD(ERROR_ALREADY_EXISTS)) << "a service instance still holds it";

    const DWORD startError = wine::StartServiceNamed(kService);
    std::printf("[  note    ] StartService(%s) with the instance mutex held: error %lu\n", kService,
                static_cast<unsigned long>(startError));
    ServiceState s;
    EXPECT_TRUE(PollUntil([&] {
        s = wine::QueryServiceByName(kService);
        return s.state == SERVICE_STOPPED && s.exitCode == kStartFailed;
    })) << wine::Describe(s) << "; StartService error " << startError;
    EXPECT_TRUE(PollUntil([] { return wine::ProcessesWithImage("UBsvr.exe").empty(); }));
    EXPECT_EQ(Block().ServicePid(), 0u);
}

// Started directly, the dispatcher fails and the program ends at once,
// leaving the block as it was.
TEST_F(ServiceRun, Step12_DirectStartEndsWithoutTouchingChannel) {
    ASSERT_EQ(wine::QueryServiceByName(kService).state, DWORD(SERVICE_STOPPED));
    // A marker where a service would write its ID or clear it.
    Block().SetServicePid(0x5EC0DE);
    uint8_t before[kOffProcessSlots];
    std::memcpy(before, Block().Base(), sizeof before);
    const bool eventBefore = EventIsSet(ClientEvent());

    wine::CapturedRun run;
    ASSERT_TRUE(wine::RunCaptured("UBsvr.exe", "", &run)) << "still running";
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(std::memcmp(before, Block().Base(), sizeof before), 0) << "the header changed";
    EXPECT_EQ(Block().ServicePid(), 0x5EC0DEu);
    EXPECT_EQ(EventIsSet(ClientEvent()), eventBefore);
    EXPECT_EQ(wine::QueryServiceByName(kService).state, DWORD(SERVICE_STOPPED));
    Block().SetServicePid(0);
}

}  // namespace
}  // namespace ub
