// Fault runs of UBclient.exe beside the real service, bounded in count and
// time: the service killed in the middle of its rounds and started again
// while the client runs, and a program that writes random bytes into the
// shared block while the client merges. The client must stay up and
// answering, and its tree must catch up with the service afterwards. The
// counts are printed as figures.
#include <random>

#include "tests/wine/ClientRun.h"

namespace ub {
namespace {

using namespace clienttest;

class FaultRun : public ClientRun {
protected:
    // The name the running service was started under.
    static std::string s_service;
    static constexpr int kProcessList = 1000;
    static HTREEITEM Processes() { return s_tree.Child(s_tree.Root(), "Processes"); }
    // The client's thread answers within the limit.
    static bool Answers() { return Running(s_client) && SyncWithClient(); }
    // A process started now gets a live row on the all-processes page: the
    // client merges the service's publications again. Rows are told apart
    // by PID and status, since ended processes of the same program keep
    // their rows and a full snapshot drops them.
    static ::testing::AssertionResult CatchesUp(const char* exe) {
        HWND page = ShowListPage(Processes(), kProcessList);
        CRemoteList rows;
        if (!page || !rows.Attach(::GetDlgItem(page, kProcessList)))
            return ::testing::AssertionFailure() << "no process list";
        wine::CFixtureProcess late;
        ::testing::AssertionResult started = late.Start(exe);
        if (!started) return started;
        const std::string pid = std::to_string(late.Pid());
        if (!PollUntil([&] {
                for (int r = 0, n = rows.Count(); r < n; ++r)
                    if (rows.Cell(r, 2) == pid && rows.Cell(r, 0) == exe && rows.Cell(r, 1) != "Finished") return true;
                return false;
            }))
            return ::testing::AssertionFailure() << exe << " never reached the process list";
        return ::testing::AssertionSuccess();
    }
};

std::string FaultRun::s_service = kService;

TEST_F(FaultRun, Fault01_ClientStarts) {
    ASSERT_TRUE(StartClient(s_client)) << "no main frame";
    ASSERT_TRUE(s_tree.Attach(Tree()));
    EXPECT_TRUE(PollUntil([] { return s_tree.Child(Processes(), "fixture_rpm.exe") != nullptr; }));
    EXPECT_TRUE(PollUntil([] { return FindClientBox(s_client.pi.dwProcessId, 2230) == nullptr; }));
}

TEST_F(FaultRun, Fault02_ServiceKilledAndStartedAgain) {
    const int kCycles = 5;
    std::mt19937 random(::GetTickCount());
    // The service now running. Windows' service manager marks a killed
    // service stopped at once, so it starts again under its name. Wine's
    // (8.0) keeps reporting the dead process as running for about a
    // minute, and refuses a second start meanwhile; there the same program
    // is started again under a further name, which the client cannot tell
    // apart: it only sees the block.
    std::string& current = s_service;
    int restartedByName = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        SCOPED_TRACE(cycle);
        wine::ServiceState s;
        ASSERT_TRUE(PollUntil([&] { return (s = wine::QueryServiceByName(current.c_str())).state == SERVICE_RUNNING; }));
        ASSERT_NE(s.processId, 0u);
        // Somewhere in a round or in its delay.
        ::Sleep(DWORD(random() % 300));
        HANDLE service = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, s.processId);
        ASSERT_NE(service, nullptr);
        ASSERT_TRUE(::TerminateProcess(service, 1));
        EXPECT_EQ(::WaitForSingleObject(service, wine::kWaitLimitMs), WAIT_OBJECT_0);
        ::CloseHandle(service);
        EXPECT_TRUE(Answers()) << "the client went with the service";

        if (PollUntil([&] { return wine::QueryServiceByName(current.c_str()).state == SERVICE_STOPPED; }, 3000)) {
            ++restartedByName;
        } else {
            current = std::string(kService) + "Fault" + std::to_string(cycle);
            ASSERT_TRUE(wine::CreateServiceNamed(current.c_str(), BinFolder() + "UBsvr.exe"));
        }
        EXPECT_EQ(wine::StartServiceNamed(current.c_str()), 0u);
        EXPECT_TRUE(CatchesUp("fixture_clean.exe"));
        EXPECT_TRUE(Answers());
    }
    std::printf("[  note    ] %d service kills and starts (%d under the same name); the client answered and "
                "caught up after each\n",
                kCycles, restartedByName);
}

TEST_F(FaultRun, Fault03_RandomBytesInTheBlock) {
    CWin32Channel channel;
    ASSERT_TRUE(channel.OpenChannel());
    uint8_t* block = channel.Block().Base();
    std::mt19937 random(::GetTickCount());
    // The header fields a merge reads (state, codes, counts; the two PIDs
    // are left alone: with another client PID the service rightly serves
    // nobody), the first process slots and the first module slots.
    const size_t kHeaderFields[] = {kOffState, kOffPaceCode, kOffDelayCode, kOffProcessCount, kOffModuleCount};
    const size_t kSlotSpan = 64 * sizeof(ModuleRecord);
    size_t written = 0, headerBytes = 0, bursts = 0;
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 4000) {
        for (int i = 0; i < 256; ++i) {
            size_t at;
            switch (random() % 4) {
                case 0: at = kHeaderFields[random() % 5] + random() % 4; ++headerBytes; break;
                case 1: at = kOffProcessSlots + random() % kSlotSpan; break;
                default: at = kOffModuleSlots + random() % kSlotSpan; break;
            }
            block[at] = uint8_t(random());
        }
        written += 256;
        ++bursts;
        ::Sleep(5);
        if (bursts % 50 == 0) ASSERT_TRUE(Answers()) << "after " << written << " bytes";
    }
    EXPECT_TRUE(Answers());
    // A new service publishes a genuine snapshot; the client follows it.
    wine::ServiceState s = wine::QueryServiceByName(s_service.c_str());
    if (s.state == SERVICE_RUNNING) {
        SERVICE_STATUS status{};
        wine::ControlServiceNamed(s_service.c_str(), SERVICE_CONTROL_STOP, &status);
        PollUntil([] { return wine::QueryServiceByName(s_service.c_str()).state == SERVICE_STOPPED; });
    }
    channel.Block().SetState(CS_FULL_WANTED);
    channel.CloseChannel();
    EXPECT_EQ(wine::StartServiceNamed(s_service.c_str()), 0u);
    EXPECT_TRUE(CatchesUp("fixture_clean.exe"));
    EXPECT_TRUE(Answers());
    std::printf("[  note    ] %zu random bytes (%zu into the header) in %zu bursts written into the block while "
                "the client merged\n",
                written, headerBytes, bursts);
}

TEST_F(FaultRun, Fault04_ExitStopsTheService) {
    ::PostMessageA(s_client.frame, WM_COMMAND, kAppExit, 0);
    ASSERT_TRUE(AnswerExit(s_client, IDYES));
    EXPECT_EQ(::WaitForSingleObject(s_client.pi.hProcess, wine::kWaitLimitMs), WAIT_OBJECT_0);
    // A service started under a further name is not the client's to stop.
    if (s_service != kService) {
        SERVICE_STATUS status{};
        wine::ControlServiceNamed(s_service.c_str(), SERVICE_CONTROL_STOP, &status);
        EXPECT_TRUE(PollUntil([] { return wine::QueryServiceByName(s_service.c_str()).state == SERVICE_STOPPED; }));
    }
}

}  // namespace
}  // namespace ub
