// Loaded images in which every name the import inspection looks at runs
// on for most of the image: filler import descriptors and filler lookup
// entries, ahead of the real ones, all name one run of letters that fills
// the rest of the image and ends at its last byte. For tests and for the
// benchmark of the inspection's cost on hostile images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ub::test {

struct LongNameShape {
    size_t size = 0x4000;  // image size; at least RunStart() + 1
    bool pe32Plus = false;
    uint32_t fillerDescriptors = 0;  // descriptors whose DLL name is the run
    uint32_t fillerEntries = 0;      // lookup entries whose function name is the run
    std::string runText;             // the run's first bytes; 'x' follows
    bool nulAtEnd = true;            // the last byte is 0, else 'x'
};

// Layout: headers and the original import data of PeBuilder (ReadProcessMemory
// from kernel32.dll, SetWindowsHookEx from user32.dll), then the descriptor
// array (fillers, kernel32, user32, terminator), then one lookup table that
// both real descriptors use (fillers, the two real entries, terminator),
// then the run. With a NUL at the end the real imports are found: 0x400800.
struct LongNameLayout {
    uint32_t descriptors = 0;  // RVA of the descriptor array
    uint32_t table = 0;        // RVA of the lookup table
    uint32_t run = 0;          // RVA of the run's first byte
};

std::vector<uint8_t> BuildLongNameImage(const LongNameShape& shape, LongNameLayout* layout = nullptr);

// Fillers taking 1/64 of the image each for descriptors and entries: the
// benchmark's shape.
LongNameShape LongNameShapeOfSize(size_t size);

}  // namespace ub::test
