// The input of the merge fuzz target, read by the target and written by
// make_seeds for its seeds. Little-endian integers; a read past the end
// gives 0, so every byte string is an input.
//
//   u8 settings: TreeSort (bits 0-1), TitleSkip (2-3), CliSpeed (4-5)
//   u8 A, then A % 9 authentic entries: u8 path
//   u8 Q, then Q % 9 quarantine entries: u8 path, u8 status, u8 backup name
//   steps to the end, each an op byte (% OP_COUNT) and its operands:
//     OP_REFRESH .. OP_TIMER_REFRESH: a publication, then the refresh or tick
//       u8 state, u8 M module slots, u8 P process slots,
//       u8 counts: 0 for P and M; 0xFF: u32 process count, u32 module
//          count (any value); else P and M each plus this number (slots
//          past those written are zero)
//       M x (u8 status, u32 flags, u8 path; path 0xFF: u16 length, bytes)
//       P x (u8 status, u8 pid, u8 creation, u16 module count,
//            min(count, 16) x u16 module index)
//     OP_PURGE; OP_AUTHENTICATE u8 module; OP_REMOVE_AUTHENTIC u8 entry;
//     OP_QUARANTINE u8 module; OP_SELECT u8 process, u8 position; OP_BACK
// Paths are numbers into a pool of paths, each as written, in capitals or
// in small letters (number / pool size % 3).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ub::fuzz {

enum MergeOp : uint8_t {
    OP_REFRESH,        // Refresh without a snapshot request
    OP_REFRESH_FULL,   // Refresh asking for a snapshot
    OP_TIMER_FIRST,    // a tick of the first-snapshot timer
    OP_TIMER_REFRESH,  // a tick of the refresh timer
    OP_PURGE,
    OP_AUTHENTICATE,
    OP_REMOVE_AUTHENTIC,
    OP_QUARANTINE,
    OP_SELECT,
    OP_BACK,
    OP_COUNT
};

constexpr uint8_t kLiteralPath = 0xFF;
constexpr uint8_t kRawCounts = 0xFF;
constexpr uint32_t kMaxListedIndices = 16;

// Trusted, untrusted, odd and hostile paths; the harness gives "missing.dll"
// no attributes, "hook.dll" a product name and "noname.dll" a blank one.
inline const std::vector<std::string>& PathPool() {
    static const std::vector<std::string> pool = {
        "C:\\Apps\\hook.dll",
        "C:\\Apps\\reader.exe",
        "C:\\Apps\\other.exe",
        "C:\\Windows\\system32\\kernel32.dll",
        "C:\\Windows\\explorer.exe",
        "C:\\Program Files\\Umbrastead\\UBclient.exe",
        "\\??\\C:\\Apps\\native.dll",
        "C:\\Apps\\missing.dll",
        "relative.dll",
        "",
        "C:\\Apps\\..\\Windows\\x.dll",
        "C:\\Apps\\noname.dll",
    };
    return pool;
}

inline std::string PoolPath(uint8_t number) {
    const std::vector<std::string>& pool = PathPool();
    std::string path = pool[number % pool.size()];
    const int variant = number / pool.size() % 3;
    for (char& c : path) {
        if (variant == 1 && c >= 'a' && c <= 'z') c = char(c - 32);
        if (variant == 2 && c >= 'A' && c <= 'Z') c = char(c + 32);
    }
    return path;
}

// Backup names of quarantine entries, from the module's base name.
inline std::string BackupName(uint8_t number, const std::string& baseName) {
    switch (number % 6) {
        case 0: return baseName + ".ubbak";
        case 1: return baseName + ".ubbak2";
        case 2: return baseName + ".UBBAK9";
        case 3: return "..\\" + baseName + ".ubbak";
        case 4: return "CON.ubbak";
        default: return "";
    }
}

inline std::string BaseNameOf(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads inputs (the fuzz target).
class MergeInputReader {
public:
    MergeInputReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool AtEnd() const { return m_pos >= m_size; }
    uint8_t U8() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint16_t U16() {
        uint16_t low = U8();
        return uint16_t(low | U8() << 8);
    }
    uint32_t U32() {
        uint32_t low = U16();
        return low | uint32_t(U16()) << 16;
    }
    // Up to n bytes into out; the rest of out is left as it is.
    void Bytes(void* out, size_t n) {
        size_t take = std::min(n, m_size - std::min(m_pos, m_size));
        if (take) std::memcpy(out, m_data + m_pos, take);
        m_pos += n;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Writes inputs (make_seeds).
class MergeInputWriter {
public:
    struct Quarantined {
        uint8_t path, status, backupName;
    };
    struct Module {
        uint8_t status;
        uint32_t flags;
        uint8_t path;
    };
    struct Process {
        uint8_t status, pid, creation;
        std::vector<uint16_t> modules;
    };

    MergeInputWriter(uint8_t settings, const std::vector<uint8_t>& authentic, const std::vector<Quarantined>& quarantined) {
        U8(settings);
        U8(uint8_t(authentic.size()));
        for (uint8_t path : authentic) U8(path);
        U8(uint8_t(quarantined.size()));
        for (const Quarantined& q : quarantined) {
            U8(q.path);
            U8(q.status);
            U8(q.backupName);
        }
    }
    // A publication with counts as written (or the given raw ones), then `op`.
    MergeInputWriter& Publish(MergeOp op, uint8_t state, const std::vector<Module>& modules,
                              const std::vector<Process>& processes, const uint32_t* rawCounts = nullptr) {
        U8(op);
        U8(state);
        U8(uint8_t(modules.size()));
        U8(uint8_t(processes.size()));
        U8(rawCounts ? kRawCounts : 0);
        if (rawCounts) {
            U32(rawCounts[0]);
            U32(rawCounts[1]);
        }
        for (const Module& m : modules) {
            U8(m.status);
            U32(m.flags);
            U8(m.path);
        }
        for (const Process& p : processes) {
            U8(p.status);
            U8(p.pid);
            U8(p.creation);
            U16(uint16_t(p.modules.size()));
            for (uint16_t i : p.modules) U16(i);
        }
        return *this;
    }
    // A module slot with a literal path of these bytes (no NUL added).
    MergeInputWriter& PublishLiteral(MergeOp op, uint8_t state, uint32_t flags, const std::string& path) {
        U8(op);
        U8(state);
        U8(1);
        U8(0);
        U8(0);
        U8(1);
        U32(flags);
        U8(kLiteralPath);
        U16(uint16_t(path.size()));
        for (char c : path) U8(uint8_t(c));
        return *this;
    }
    MergeInputWriter& Action(MergeOp op, std::vector<uint8_t> operands = {}) {
        U8(op);
        for (uint8_t b : operands) U8(b);
        return *this;
    }

    std::vector<uint8_t> bytes;

private:
    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v) {
        U8(uint8_t(v));
        U8(uint8_t(v >> 8));
    }
    void U32(uint32_t v) {
        U16(uint16_t(v));
        U16(uint16_t(v >> 16));
    }
};

}  // namespace ub::fuzz
