// The import inspection's rules written out plainly, for the fuzz target to
// hold the inspector to: every structure bounds-tested against the copy,
// and each name's NUL looked for by scanning on to the end of the copy.
// Slow on purpose (quadratic on hostile images); inputs are small here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/SharedFormat.h"

namespace ub::fuzz {

inline bool InCopy(size_t size, uint64_t offset, uint64_t length) {
    return offset <= size && length <= size - offset;
}

inline uint64_t LittleEndian(const uint8_t* p, unsigned bytes) {
    uint64_t v = 0;
    while (bytes--) v = v << 8 | p[bytes];
    return v;
}

inline bool TerminatedInCopy(const uint8_t* image, size_t size, uint64_t offset) {
    return offset < size && std::memchr(image + offset, 0, size - offset) != nullptr;
}

inline bool SameLetters(const char* a, const char* b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
    for (;; ++a, ++b) {
        if (lower(*a) != lower(*b)) return false;
        if (*a == 0) return true;
    }
}

inline uint32_t ReferenceLookup(const uint8_t* image, size_t size, uint64_t nt, bool plus, const char* dll,
                                const char* function, uint32_t flag) {
    const uint64_t dirField = nt + (plus ? 0x90 : 0x80);
    if (!InCopy(size, dirField, 4)) return MF_BAD_IMAGE;
    uint64_t descriptor = LittleEndian(image + dirField, 4);
    if (descriptor == 0) return 0;
    for (;; descriptor += 20) {
        if (!InCopy(size, descriptor + 12, 4)) return MF_BAD_IMAGE;
        const uint64_t name = LittleEndian(image + descriptor + 12, 4);
        if (name == 0) return 0;
        if (!InCopy(size, name, 4) || !TerminatedInCopy(image, size, name)) return MF_BAD_IMAGE;
        if (SameLetters(reinterpret_cast<const char*>(image + name), dll)) break;
    }
    const unsigned width = plus ? 8 : 4;
    uint64_t entry = LittleEndian(image + descriptor, 4);
    if (!InCopy(size, entry, 4)) return MF_BAD_IMAGE;
    for (;; entry += width) {
        if (!InCopy(size, entry, width)) return MF_BAD_IMAGE;
        const uint64_t value = LittleEndian(image + entry, width);
        if (value == 0) return 0;
        if (value >> (8 * width - 1)) continue;  // by ordinal
        if (!InCopy(size, value + 2, 1) || !TerminatedInCopy(image, size, value + 2)) return MF_BAD_IMAGE;
        const char* name = reinterpret_cast<const char*>(image + value + 2);
        if (name[0] != 0 && name[0] == function[0] && SameLetters(name, function)) return flag;
    }
}

inline uint32_t ReferenceInspection(const uint8_t* image, size_t size, uint32_t partialMark) {
    if (!InCopy(size, 0, 64) || LittleEndian(image, 2) != 0x5A4D) return MF_BAD_IMAGE;
    const uint64_t nt = LittleEndian(image + 0x3C, 4);
    if (!InCopy(size, nt, 248) || LittleEndian(image + nt, 4) != 0x4550) return MF_BAD_IMAGE;
    const bool plus = LittleEndian(image + nt + 0x18, 2) == 0x20B;
    if (plus && !InCopy(size, nt, 264)) return MF_BAD_IMAGE;
    const struct {
        const char* dll;
        const char* function;
        uint32_t flag;
    } lookups[] = {
        {"kernel32.dll", "ReadProcessMemory", MF_READ_PROCESS_MEMORY},
        {"kernel32.dll", "WriteProcessMemory", MF_WRITE_PROCESS_MEMORY},
        {"kernel32.dll", "DebugActiveProcess", MF_DEBUG_ACTIVE_PROCESS},
        {"user32.dll", "SetWindowsHookEx", MF_SET_WINDOWS_HOOK_EX},
        {"user32.dll", "CallMsgFilter", MF_CALL_MSG_FILTER},
    };
    uint32_t flags = partialMark;
    for (const auto& l : lookups) flags |= ReferenceLookup(image, size, nt, plus, l.dll, l.function, l.flag);
    return flags;
}

}  // namespace ub::fuzz
