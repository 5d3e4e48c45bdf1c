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

// What the platform does: the allocation fails, or the read delivers the
// contents (a failing read only `arrive` bytes of them, with `error`).
struct Platform {
    const std::vector<uint8_t>& contents;
    bool refuse, readFails;
    size_t arrive;
    uint32_t error;
};

// Hands out buffers of its own (filled with zeros, as a platform's are) and
// records what the inspection does with them.
class RecordingMemory : public IProcessMemory {
public:
    explicit RecordingMemory(const Platform& platform) : m_platform(platform) {}

    std::vector<uint8_t> buffer;
    int allocations = 0, frees = 0, reads = 0;
    size_t allocatedSize = 0, freedSize = 0;
    bool readIntoBuffer = false, freedBuffer = false;

    void* AllocateCopy(size_t size) override {
        ++allocations;
        allocatedSize = size;
        if (m_platform.refuse) return nullptr;
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
        const Platform& p = m_platform;
        size_t copied = std::min(p.readFails ? p.arrive : n, p.contents.size());
        std::memcpy(out, p.contents.data(), copied);
        *bytesRead = copied;
        *lastError = p.readFails ? p.error : 0;
        return !p.readFails;
    }

private:
    Platform m_platform;
};

TEST(InspectionCopy, TakenFromThePlatformAndFreedOnEveryPath) {
    const std::vector<uint8_t> image = test::PeBuilder().Import("kernel32.dll", {"ReadProcessMemory"}).BuildImage();
    std::vector<uint8_t> noMz = image;
    noMz[0] = 'X';
    const uint32_t size = uint32_t(image.size());
    constexpr uint32_t kClaimed4GiB = 0xFFFFF000u;
    struct Case {
        const char* name;
        uint32_t imageSize;
        Platform platform;
        uint32_t expected;
        int reads;
    } cases[] = {
        {"whole image read", size, {image, false, false, 0, 0}, MF_READ_PROCESS_MEMORY, 1},
        {"partial copy", size + 0x2000, {image, false, true, size, kErrorPartialCopy},
         MF_READ_PROCESS_MEMORY | MF_PARTIAL_IMAGE, 1},
        {"read failed", size, {image, false, true, 0, 998}, MF_PARTIAL_IMAGE, 1},
        {"bad headers", size, {noMz, false, false, 0, 0}, MF_BAD_IMAGE, 1},
        {"size refused", size, {image, true, false, 0, 0}, MF_NO_MEMORY, 0},
        {"claimed 4 GiB refused", kClaimed4GiB, {image, true, false, 0, 0}, MF_NO_MEMORY, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingMemory memory(c.platform);
        EXPECT_EQ(InspectRemoteImage(memory, 7, 0x400000, c.imageSize), c.expected);
        EXPECT_EQ(memory.allocations, 1);
        EXPECT_EQ(memory.allocatedSize, c.imageSize);
        EXPECT_EQ(memory.reads, c.reads);
        EXPECT_EQ(memory.frees, c.platform.refuse ? 0 : 1);
        if (!c.platform.refuse) {
            EXPECT_TRUE(memory.readIntoBuffer);
            EXPECT_TRUE(memory.freedBuffer);
            EXPECT_EQ(memory.freedSize, c.imageSize);
        }
    }
}

TEST(InspectionCopy, ImageSizeZeroAsksForNothing) {
    const std::vector<uint8_t> nothing;
    RecordingMemory memory({nothing, false, false, 0, 0});
    EXPECT_EQ(InspectRemoteImage(memory, 7, 0x400000, 0), MF_NO_IMAGE_SIZE);
    EXPECT_EQ(memory.allocations, 0);
    EXPECT_EQ(memory.reads, 0);
}

}  // namespace
}  // namespace ub
