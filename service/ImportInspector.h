// Import inspection of a loaded module image.
//
// The image is a copy of a module as the loader laid it out, so every RVA is
// an offset into the copy. Every structure access is a bounds test against
// the copy; nothing outside it is ever read. Results are module flags.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ub {

// Reads memory of a target process. Implemented over ReadProcessMemory on
// Windows and over plain buffers in tests.
class IProcessMemory {
public:
    virtual ~IProcessMemory() = default;
    // One read of `size` bytes at `address` into `buffer`. Returns true on
    // full success. On failure `*bytesRead` is the number of bytes that did
    // arrive and `*lastError` the platform error code.
    virtual bool ReadMemory(uint32_t processHandle, uint64_t address, void* buffer, size_t size,
                            size_t* bytesRead, uint32_t* lastError) = 0;

    // The copy buffer of one inspection: `size` bytes that read as zero, or
    // nullptr when they cannot be had. The size is what the target's own
    // loader data claim, so it can be anything up to 4 GiB: nothing may be
    // written here, only pages the read fills are ever made resident. The
    // default takes the block from calloc, which serves large blocks from
    // fresh zero pages of the system without writing them; the Windows
    // source commits pages with VirtualAlloc.
    virtual void* AllocateCopy(size_t size);
    virtual void FreeCopy(void* copy, size_t size);
};

constexpr uint32_t kErrorPartialCopy = 299;  // ERROR_PARTIAL_COPY

// Finds the first import descriptor whose DLL name equals `dllName` (ASCII
// letter case ignored). Returns `flag` and stores the descriptor's offset in
// `*descriptor`; 0 when there is no import directory or no such descriptor;
// MF_BAD_IMAGE when a structure lies outside the image. `*descriptor` is
// left untouched unless `flag` is returned.
uint32_t FindImportDescriptor(const uint8_t* image, size_t size, const char* dllName,
                              uint32_t* descriptor, uint32_t flag);

// Returns `flag` when the first descriptor for `dllName` imports
// `functionName` by name: the first character must match exactly, the rest
// without regard to letter case. 0 when it does not or the DLL is not
// imported; MF_BAD_IMAGE when a structure lies outside the image.
uint32_t FindImportByName(const uint8_t* image, size_t size, const char* dllName,
                          const char* functionName, uint32_t flag);

// Header check and the five lookups over an image already copied.
// `partialMark` is 0 or MF_PARTIAL_IMAGE; it is dropped when the headers
// are bad (the result is then exactly MF_BAD_IMAGE).
uint32_t InspectImage(const uint8_t* image, size_t size, uint32_t partialMark);

// Copies the module image out of the process with one read and inspects it.
// A claimed size the service cannot hold (the copy buffer cannot be had)
// gives exactly MF_NO_MEMORY, and nothing is read.
uint32_t InspectRemoteImage(IProcessMemory& memory, uint32_t processHandle, uint64_t base,
                            uint32_t imageSize);

}  // namespace ub
