// The copy buffer of an inspection: asked of the platform at the claimed
// size, read into once, freed on every path; a size the platform cannot
// give yields exactly MF_NO_MEMORY without a read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/SharedFormat.h"
#include "service/ImportInspector.h"
#include "tests/support/PeBuilder.h"

namespace ub {
namespace {

// Hands out buffers of its own (filled with zeros, as a platform's are) and
// records what the inspection does with them.
class RecordingMemory : public IProcessMemory {
public:
    std::vector<uint8_t> contents;
    bool refuse = false;       // the allocation fails
    bool readFails = false;    // the read delivers `arrive` bytes and `error`
    size_t arrive = 0;
    uint32_t error = 0;

    std::vector<uint8_t> buffer;
    int allocations = 0, frees = 0, reads = 0;
    size_t allocatedSize = 0, freedSize = 0;
    bool readIntoBuffer = false, freedBuffer = false;

    void* AllocateCopy(size_t size) override {
        ++allocations;
        allocatedSize = size;
        if (refuse) return nullptr;
        buffer.assign(size, 0);
        return buffer.data();
    }
    void FreeCopy(void* copy, size_t size) override {
        ++frees;
        freedSize = size;
        freedBuffer = copy == buffer.data();
    }
    bool ReadMemory(uint32_t, uint64_t, void* out, size_t n, size_t* bytesRead, uint32_t* lastError) override {
        ++reads;
        readIntoBuffer = out == buffer.data() && n == buffer.size();
        size_t copied = std::min(readFails ? arrive : n, contents.size());
        std::memcpy(out, contents.data(), copied);
        *bytesRead = copied;
        *lastError = readFails ? error : 0;
        return !readFails;
    }
};

TEST(InspectionCopy, TakenFromThePlatformAndFreedOnEveryPath) {
    const std::vector<uint8_t> image = test::PeBuilder().Import("kernel32.dll", {"ReadProcessMemory"}).BuildImage();
    std::vector<uint8_t> noMz = image;
    noMz[0] = 'X';
    const uint32_t size = uint32_t(image.size());
    constexpr uint32_t kClaimed4GiB = 0xFFFFF000u;
    struct Case {
        const char* name;
        const std::vector<uint8_t>& contents;
        uint32_t imageSize;
        bool refuse, readFails;
        size_t arrive;
        uint32_t error;
        uint32_t expected;
        int reads;
    } cases[] = {
        {"whole image read", image, size, false, false, 0, 0, MF_READ_PROCESS_MEMORY, 1},
        {"partial copy", image, size + 0x2000, false, true, size, kErrorPartialCopy,
         MF_READ_PROCESS_MEMORY | MF_PARTIAL_IMAGE, 1},
        {"read failed", image, size, false, true, 0, 998, MF_PARTIAL_IMAGE, 1},
        {"bad headers", noMz, size, false, false, 0, 0, MF_BAD_IMAGE, 1},
        {"size refused", image, size, true, false, 0, 0, MF_NO_MEMORY, 0},
        {"claimed 4 GiB refused", image, kClaimed4GiB, true, false, 0, 0, MF_NO_MEMORY, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingMemory memory;
        memory.contents = c.contents;
        memory.refuse = c.refuse;
        memory.readFails = c.readFails;
        memory.arrive = c.arrive;
        memory.error = c.error;
        EXPECT_EQ(InspectRemoteImage(memory, 7, 0x400000, c.imageSize), c.expected);
        EXPECT_EQ(memory.allocations, 1);
        EXPECT_EQ(memory.allocatedSize, c.imageSize);
        EXPECT_EQ(memory.reads, c.reads);
        EXPECT_EQ(memory.frees, c.refuse ? 0 : 1);
        if (!c.refuse) {
            EXPECT_TRUE(memory.readIntoBuffer);
            EXPECT_TRUE(memory.freedBuffer);
            EXPECT_EQ(memory.freedSize, c.imageSize);
        }
    }
}

TEST(InspectionCopy, ImageSizeZeroAsksForNothing) {
    RecordingMemory memory;
    EXPECT_EQ(InspectRemoteImage(memory, 7, 0x400000, 0), MF_NO_IMAGE_SIZE);
    EXPECT_EQ(memory.allocations, 0);
    EXPECT_EQ(memory.reads, 0);
}

}  // namespace
}  // namespace ub
