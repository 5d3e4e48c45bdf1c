// The records, values and object names that the service and the client share
// through the shared block. Everything here is a fixed byte format: both
// programs are built separately, so every size and offset is asserted below
// and holds for 32-bit and 64-bit builds alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ub {

// Module flags: the service's findings (import inspection) and the client's
// own marks. The client's warning level is a function of the numeric value.
enum : uint32_t {
    MF_PARTIAL_IMAGE = 0x00000002,
    MF_BAD_IMAGE = 0x00000100,
    MF_NO_IMAGE_SIZE = 0x00000200,
    MF_NO_PRODUCT_NAME = 0x00000400,
    MF_READ_PROCESS_MEMORY = 0x00000800,
    MF_CALL_MSG_FILTER = 0x00001000,
    MF_WRITE_PROCESS_MEMORY = 0x00100000,
    MF_DEBUG_ACTIVE_PROCESS = 0x00200000,
    MF_SET_WINDOWS_HOOK_EX = 0x00400000,
    MF_QUARANTINE_PENDING = 0x10000000,
    MF_AUTHENTIC = 0x20000000,
    MF_QUARANTINED = 0x40000000,
    MF_NO_MEMORY = 0xC0000000,  // a whole value, not a bit
};

// Record status byte of process and module records.
enum : uint8_t {
    ST_REPORTED = 0,
    ST_NEW = 1,
    ST_FINISHED = 3,
    ST_NEW_FINISHED = 4,
    ST_UPDATED = 100,
};

// Channel state byte at offset 0 of the block.
enum : uint8_t {
    CS_DELTA_READY = 0,
    CS_CONSUMED = 1,
    CS_FULL_WANTED = 2,
    CS_FULL_READY = 3,
};

// Named kernel objects shared by both programs. "Global\" puts them in the
// machine-wide namespace, so that the service (session 0 since Windows Vista)
// and the client (a user's session) meet; older systems accept the prefix.
constexpr const char kShmemName[] = "Global\\Carrowdene_V1.1_Shmem_19760122";
constexpr const char kSyncMutexName[] = "Global\\Carrowdene_V1.1_SyncMutex_19760122";
constexpr const char kWarningEventName[] = "Global\\Carrowdene_V1.1_WarningEvent_19760122";
constexpr const char kSvrMutexName[] = "Global\\Carrowdene_V1.1_SvrMutex_19760122";
constexpr const char kCliMutexName[] = "Global\\Carrowdene_V1.1_CliMutex_19760122";

constexpr size_t kNameSize = 256;
constexpr size_t kPathSize = 1024;
constexpr uint32_t kMaxModulesPerProcess = 512;
constexpr uint32_t kMaxProcessIds = 1024;

// A FILETIME as two 32-bit halves (low first), so that records keep 4-byte
// alignment and can be read in place from any 4-byte aligned slot.
struct FileTime {
    uint32_t low;
    uint32_t high;
};

inline uint64_t ToU64(FileTime t) { return (uint64_t(t.high) << 32) | t.low; }
inline FileTime ToFileTime(uint64_t v) { return FileTime{uint32_t(v), uint32_t(v >> 32)}; }

// One distinct module file, keyed by its full path (letter case ignored).
struct ModuleRecord {
    uint8_t status;
    uint8_t unused[3];
    uint32_t flags;
    char baseName[kNameSize];  // NUL-terminated ANSI
    char fullPath[kPathSize];  // NUL-terminated ANSI, long-path form
};

// One process instance. The handle is the service's own process handle kept
// as its 32-bit value (Windows handles are 32-bit significant on both
// bitnesses). The load-address fields hold the low 32 bits of the address on
// 64-bit Windows; only the low half fits the shared format.
struct ProcessRecord {
    uint8_t status;
    uint8_t unused[3];
    uint32_t processHandle;
    FileTime creationTime;
    FileTime exitTime;  // 0 while the process runs
    FileTime kernelTime;
    FileTime userTime;
    uint32_t processId;
    uint32_t moduleCount;  // 1 to 512
    uint32_t moduleIndex[kMaxModulesPerProcess];  // positions in the module table
    uint32_t moduleBase[kMaxModulesPerProcess];
    uint32_t moduleSize[kMaxModulesPerProcess];
};

// Shared block layout.
constexpr size_t kBlockSize = 0x1000000;
constexpr size_t kOffState = 0;
constexpr size_t kOffPaceCode = 4;
constexpr size_t kOffDelayCode = 8;
constexpr size_t kOffServicePid = 12;
constexpr size_t kOffClientPid = 16;
constexpr size_t kOffProcessCount = 20;
constexpr size_t kOffModuleCount = 24;
constexpr size_t kOffProcessSlots = 28;
constexpr size_t kMaxProcessSlots = 1024;
constexpr size_t kMaxModuleSlots = 8102;
constexpr size_t kOffModuleSlots = kOffProcessSlots + kMaxProcessSlots * sizeof(ProcessRecord);
constexpr size_t kOffUnusedTail = kOffModuleSlots + kMaxModuleSlots * sizeof(ModuleRecord);

static_assert(sizeof(FileTime) == 8 && alignof(FileTime) == 4, "FileTime layout");
static_assert(sizeof(ModuleRecord) == 1288, "ModuleRecord size");
static_assert(offsetof(ModuleRecord, status) == 0, "ModuleRecord.status");
static_assert(offsetof(ModuleRecord, flags) == 4, "ModuleRecord.flags");
static_assert(offsetof(ModuleRecord, baseName) == 8, "ModuleRecord.baseName");
static_assert(offsetof(ModuleRecord, fullPath) == 264, "ModuleRecord.fullPath");
static_assert(alignof(ModuleRecord) == 4, "ModuleRecord alignment");

static_assert(sizeof(ProcessRecord) == 6192, "ProcessRecord size");
static_assert(offsetof(ProcessRecord, status) == 0, "ProcessRecord.status");
static_assert(offsetof(ProcessRecord, processHandle) == 4, "ProcessRecord.processHandle");
static_assert(offsetof(ProcessRecord, creationTime) == 8, "ProcessRecord.creationTime");
static_assert(offsetof(ProcessRecord, exitTime) == 16, "ProcessRecord.exitTime");
static_assert(offsetof(ProcessRecord, kernelTime) == 24, "ProcessRecord.kernelTime");
static_assert(offsetof(ProcessRecord, userTime) == 32, "ProcessRecord.userTime");
static_assert(offsetof(ProcessRecord, processId) == 40, "ProcessRecord.processId");
static_assert(offsetof(ProcessRecord, moduleCount) == 44, "ProcessRecord.moduleCount");
static_assert(offsetof(ProcessRecord, moduleIndex) == 48, "ProcessRecord.moduleIndex");
static_assert(offsetof(ProcessRecord, moduleBase) == 2096, "ProcessRecord.moduleBase");
static_assert(offsetof(ProcessRecord, moduleSize) == 4144, "ProcessRecord.moduleSize");
static_assert(alignof(ProcessRecord) == 4, "ProcessRecord alignment");

static_assert(kOffModuleSlots == 0x60C01C && kOffModuleSlots == 6340636, "module slots offset");
static_assert(kOffUnusedTail == 16776012, "unused tail offset");
static_assert(kBlockSize - kOffUnusedTail == 1204, "unused tail size");
static_assert(kOffModuleSlots % 4 == 0 && kOffProcessSlots % 4 == 0, "slots keep 4-byte alignment");

}  // namespace ub
