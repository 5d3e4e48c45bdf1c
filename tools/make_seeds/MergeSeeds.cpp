// Seeds of the merge fuzz target (tests/fuzz/MergeInput.h): a snapshot
// followed by deltas as the service publishes them, the user's actions on
// the records, and publications no service makes.
#include <string>
#include <vector>

#include "client/quarantine/Entries.h"
#include "common/SharedFormat.h"
#include "tests/fuzz/MergeInput.h"
#include "tools/make_seeds/Seeds.h"

namespace ub::seeds {
namespace {

using fuzz::MergeInputWriter;
using Module = MergeInputWriter::Module;
using Process = MergeInputWriter::Process;

// Pool numbers (tests/fuzz/MergeInput.h).
enum : uint8_t { HOOK, READER, OTHER, KERNEL32, EXPLORER, CLIENT, NATIVE, MISSING, RELATIVE, EMPTY, DOTS, NONAME };
constexpr uint8_t kInCapitals = 12;

// Every pool path, some of them with findings; three processes.
std::vector<Module> SnapshotModules() {
    return {{ST_NEW, 0x800, HOOK},  {ST_NEW, 0x400800, READER}, {ST_NEW, 0, OTHER},  {ST_NEW, 0x100800, KERNEL32},
            {ST_NEW, 0, EXPLORER},  {ST_NEW, 0x800, CLIENT},    {ST_NEW, 0x800, NATIVE}, {ST_NEW, 0x800, MISSING},
            {ST_NEW, 0x2, RELATIVE}, {ST_NEW, 0x100, EMPTY},    {ST_NEW, 0x1000, DOTS}, {ST_NEW, 0, NONAME}};
}
std::vector<Process> SnapshotProcesses() {
    return {{ST_NEW, 4, 30, {READER, HOOK, KERNEL32}},
            {ST_NEW, 8, 10, {OTHER, HOOK, NONAME, DOTS}},
            {ST_REPORTED, 12, 20, {EXPLORER, KERNEL32, NATIVE}}};
}

}  // namespace

bool WriteMergeSeeds(const std::string& folder) {
    std::vector<std::pair<std::string, MergeInputWriter>> seeds;

    // Snapshot, a delta with a re-inspected module, a rescanned, a new and an
    // ended process, another delta (the ended one is shown), then a purge.
    MergeInputWriter rounds(0x11, {}, {});
    rounds.Publish(fuzz::OP_TIMER_FIRST, CS_FULL_READY, SnapshotModules(), SnapshotProcesses())
        .Publish(fuzz::OP_TIMER_REFRESH, CS_DELTA_READY, {{ST_UPDATED, 0x100800, HOOK}, {ST_NEW, 0x400000, 20}},
                 {{ST_UPDATED, 8, 10, {OTHER, HOOK, 12}}, {ST_NEW, 16, 40, {OTHER, 12}}, {ST_FINISHED, 4, 30, {READER}}})
        .Publish(fuzz::OP_TIMER_REFRESH, CS_DELTA_READY, {}, {})
        .Action(fuzz::OP_PURGE);
    seeds.emplace_back("rounds", rounds);

    // Trust, quarantine and select, with archive entries on the pool's paths.
    MergeInputWriter actions(0x06, {HOOK}, {{READER, QS_PENDING, 0}, {NONAME, QS_QUAR, 0}, {DOTS, QS_PENDING, 3}});
    actions.Publish(fuzz::OP_REFRESH, CS_FULL_READY, SnapshotModules(), SnapshotProcesses())
        .Action(fuzz::OP_AUTHENTICATE, {READER})
        .Action(fuzz::OP_QUARANTINE, {KERNEL32})
        .Action(fuzz::OP_SELECT, {0, 1})
        .Action(fuzz::OP_REMOVE_AUTHENTIC, {0})
        .Action(fuzz::OP_SELECT, {1, 2})
        .Action(fuzz::OP_BACK)
        .Publish(fuzz::OP_REFRESH, CS_FULL_READY, SnapshotModules(), SnapshotProcesses())
        .Action(fuzz::OP_BACK);
    seeds.emplace_back("actions", actions);

    // What no service publishes: counts beyond the slots, a path filling its
    // buffer without NUL, indices beyond the table, a module count beyond
    // 512, one path in two spellings, a snapshot asked for and not given.
    const uint32_t beyond[2] = {0xFFFFFFFF, 9000};
    MergeInputWriter hostile(0x22, {}, {});
    hostile.Publish(fuzz::OP_REFRESH_FULL, CS_DELTA_READY, {}, {})
        .Publish(fuzz::OP_REFRESH, CS_FULL_READY, {{ST_NEW, 0x800, HOOK}, {ST_NEW, 0x100000, HOOK + kInCapitals}},
                 {{ST_NEW, 4, 1, {0, 7, 60000}}, {ST_UPDATED, 5, 2, {9}}}, beyond)
        .PublishLiteral(fuzz::OP_REFRESH, CS_DELTA_READY, 0x800, std::string(kPathSize, 'L'))
        .Publish(fuzz::OP_REFRESH, 7, {{200, 0xFFFFFFFF, OTHER}}, {{ST_FINISHED, 4, 1, {0}}});
    seeds.emplace_back("hostile", hostile);

    for (const auto& [name, writer] : seeds)
        if (!WriteSeed(folder + "/" + name + ".bin", writer.bytes)) return false;
    return true;
}

}  // namespace ub::seeds
