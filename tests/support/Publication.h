// A publication written slot by slot into a real 16 MiB block, as the
// service would leave it for the client.
#pragma once

#include <cstring>
#include <initializer_list>
#include <vector>

#include "common/ChannelBlock.h"

namespace ub::test {

struct Publication {
    std::vector<uint8_t> bytes;  // the block's own bytes; empty over a block given
    CChannelBlock block;
    uint32_t modules = 0, processes = 0;

    // A zeroed block of its own, or the caller's kBlockSize bytes (a fuzz
    // target reuses one block for every input).
    explicit Publication(uint8_t* external = nullptr)
        : bytes(external ? 0 : kBlockSize, 0), block(external ? external : bytes.data()) {}

    // Empties the slots and sets the state byte for the next publication.
    Publication& Begin(uint8_t state) {
        modules = processes = 0;
        block.SetCounts(0, 0);
        block.SetState(state);
        return *this;
    }
    // The base name is the part after the last backslash.
    Publication& Module(uint8_t status, const char* path, uint32_t flags = 0) {
        ModuleRecord* m = block.ModuleSlot(modules++);
        std::memset(m, 0, sizeof *m);
        m->status = status;
        m->flags = flags;
        std::strncpy(m->fullPath, path, kPathSize - 1);
        const char* slash = std::strrchr(path, '\\');
        std::strncpy(m->baseName, slash ? slash + 1 : path, kNameSize - 1);
        block.SetCounts(processes, modules);
        return *this;
    }
    Publication& Process(uint8_t status, uint32_t pid, std::initializer_list<uint32_t> indices,
                         uint64_t created = 0) {
        ProcessRecord& p = NewProcess(status, pid, created);
        for (uint32_t i : indices) p.moduleIndex[p.moduleCount++] = i;
        return *this;
    }
    ProcessRecord& NewProcess(uint8_t status, uint32_t pid, uint64_t created = 0) {
        ProcessRecord* p = block.ProcessSlot(processes++);
        std::memset(p, 0, sizeof *p);
        p->status = status;
        p->processId = pid;
        p->creationTime = ToFileTime(created);
        block.SetCounts(processes, modules);
        return *p;
    }
};

}  // namespace ub::test
