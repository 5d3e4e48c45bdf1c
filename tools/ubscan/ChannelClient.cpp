#include "tools/ubscan/ChannelClient.h"

#include <windows.h>

#include "common/win32/Win32Channel.h"
#include "tools/ubscan/SnapshotCollector.h"

namespace ub {

int RunChannelClient(std::FILE* out, LevelColumnFn levelColumn, unsigned timeoutMs) {
    CWin32Channel channel;
    if (!channel.OpenChannel()) {
        std::fprintf(stderr, "ubscan: cannot open the channel (error %lu)\n",
                     static_cast<unsigned long>(::GetLastError()));
        return 1;
    }
    CChannelBlock& block = channel.Block();
    block.SetClientPid(::GetCurrentProcessId());
    ::SetEvent(channel.ClientEvent());

    CSnapshotCollector collector;
    DWORD start = ::GetTickCount();
    while (SyncFromChannel(block, channel.Lock(), true, collector) != 2) {
        if (::GetTickCount() - start > timeoutMs) {
            std::fprintf(stderr, "ubscan: no snapshot from the service within %u s (is it running?)\n",
                         timeoutMs / 1000);
            return 1;
        }
        ::Sleep(100);
    }
    std::fprintf(out, "snapshot: %zu processes, %zu modules, service PID %u\n", collector.processes.size(),
                 collector.modules.size(), unsigned(block.ServicePid()));
    PrintRecords(out, collector.modules, collector.processes, levelColumn);
    return 0;
}

}  // namespace ub
