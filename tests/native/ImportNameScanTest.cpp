// Names that run on: import descriptors and lookup entries whose names run
// towards the end of the copy, with their NUL at the last byte, somewhere
// in between, or nowhere. A name counts only with its NUL inside the copy.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/SharedFormat.h"
#include "service/ImportInspector.h"
#include "tests/support/LongNameImage.h"

namespace ub {
namespace {

using test::BuildLongNameImage;
using test::LongNameLayout;
using test::LongNameShape;

constexpr uint32_t kBoth = MF_READ_PROCESS_MEMORY | MF_SET_WINDOWS_HOOK_EX;

// An exact-size heap copy of the first `length` bytes, so that the sanitizer
// build catches a read one byte past the end.
uint32_t InspectPrefix(const std::vector<uint8_t>& image, size_t length) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[length]);
    std::memcpy(copy.get(), image.data(), length);
    return InspectImage(copy.get(), length, 0);
}

LongNameShape Shape(bool pe32Plus, uint32_t descriptors, uint32_t entries, const std::string& runText, bool nulAtEnd) {
    LongNameShape shape;
    shape.pe32Plus = pe32Plus;
    shape.fillerDescriptors = descriptors;
    shape.fillerEntries = entries;
    shape.runText = runText;
    shape.nulAtEnd = nulAtEnd;
    return shape;
}

// Run text with a NUL inside it, as std::string needs it spelled.
std::string WithNul(const char* before, const char* after) { return std::string(before) + '\0' + after; }

TEST(ImportNameScan, NamesRunningOnToTheEnd) {
    const std::string kWpm = "WriteProcessMemory";
    struct Case {
        const char* name;
        uint32_t descriptors, entries;
        std::string runText;
        bool nulAtEnd;
        int sizeAfterRun;  // image size less the run's offset; 0 leaves 0x4000
        uint32_t expected;
    } cases[] = {
        {"filler names ending in the last byte", 3, 5, "", true, 0, kBoth},
        {"filler DLL names without NUL", 3, 5, "", false, 0, MF_BAD_IMAGE},
        {"filler function names without NUL", 0, 5, "", false, 0, MF_BAD_IMAGE},
        {"run without NUL that nothing names", 0, 0, "", false, 0, kBoth},
        {"NUL in the run's first byte, none after", 3, 5, WithNul("", "x"), false, 0, kBoth},
        {"NUL in the run's third byte, none after", 3, 5, WithNul("ab", "x"), false, 0, kBoth},
        {"name equal to WriteProcessMemory, NUL in the last byte", 0, 2, kWpm, true, 19,
         kBoth | MF_WRITE_PROCESS_MEMORY},
        {"WriteProcessMemory ending at the last byte without NUL", 0, 2, kWpm, false, 18, MF_BAD_IMAGE},
        {"WriteProcessMemory and a NUL, then no NUL to the end", 0, 2, WithNul(kWpm.c_str(), "y"), false, 0,
         kBoth | MF_WRITE_PROCESS_MEMORY},
        {"WriteProcessMemory running on to a NUL in the last byte", 0, 2, kWpm, true, 0, kBoth},
        {"kernel32.dll running on to a NUL in the last byte", 1, 0, "kernel32.dll", true, 0, kBoth},
        {"user32.dll ending at the last byte without NUL", 1, 0, "user32.dll", false, 10, MF_BAD_IMAGE},
        {"DLL name of 3 bytes and its NUL at the end", 1, 0, "abc", true, 4, kBoth},
        {"DLL name of 4 bytes without NUL at the end", 1, 0, "abcd", false, 4, MF_BAD_IMAGE},
        {"empty function names: the run is one NUL in the last byte", 0, 2, "", true, 1, kBoth},
        {"function names start at the last byte, not a NUL", 0, 2, "", false, 1, MF_BAD_IMAGE},
    };
    for (bool pe32Plus : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(pe32Plus ? "PE32+: " : "PE32: ") + c.name);
            LongNameShape shape = Shape(pe32Plus, c.descriptors, c.entries, c.runText, c.nulAtEnd);
            LongNameLayout layout;
            BuildLongNameImage(shape, &layout);  // where the run starts for these fillers
            if (c.sizeAfterRun) shape.size = layout.run + size_t(c.sizeAfterRun);
            std::vector<uint8_t> image = BuildLongNameImage(shape);
            EXPECT_EQ(InspectPrefix(image, image.size()), c.expected);
        }
    }
}

// Every cut through a run that holds NULs only in its first bytes: a name at
// the run's start counts exactly from the cut that takes in its NUL (and,
// for a DLL name, its first 4 bytes).
TEST(ImportNameScan, CutsThroughTheRun) {
    struct Case {
        const char* name;
        uint32_t descriptors, entries;
        std::string runText;
        size_t countsFrom;  // the shortest cut, less the run's offset, with the names counting
    } cases[] = {
        {"function names, NULs at 2 and 5", 0, 3, WithNul("ab", "cd") + '\0', 3},
        {"DLL names, NULs at 2 and 5: 4 bytes needed", 2, 0, WithNul("ab", "cd") + '\0', 4},
        {"DLL names, NUL at 5", 2, 0, WithNul("abcde", ""), 6},
        {"both, NUL at 7", 2, 3, WithNul("abcdefg", ""), 8},
    };
    for (bool pe32Plus : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(pe32Plus ? "PE32+: " : "PE32: ") + c.name);
            LongNameLayout layout;
            std::vector<uint8_t> image =
                BuildLongNameImage(Shape(pe32Plus, c.descriptors, c.entries, c.runText, false), &layout);
            for (size_t after = 0; after <= 64; ++after) {
                uint32_t expected = after >= c.countsFrom ? kBoth : MF_BAD_IMAGE;
                ASSERT_EQ(InspectPrefix(image, layout.run + after), expected) << "cut at run + " << after;
            }
            EXPECT_EQ(InspectPrefix(image, image.size()), kBoth);
        }
    }
}

// The benchmark's shape at a size the quadratic scan made slow: the flags
// of the whole image, and of the image without its last NUL.
TEST(ImportNameScan, BenchmarkShape) {
    LongNameShape shape = test::LongNameShapeOfSize(1 << 20);
    std::vector<uint8_t> image = BuildLongNameImage(shape);
    EXPECT_EQ(InspectImage(image.data(), image.size(), MF_PARTIAL_IMAGE), kBoth | MF_PARTIAL_IMAGE);
    image.back() = 'x';
    EXPECT_EQ(InspectImage(image.data(), image.size(), 0), MF_BAD_IMAGE);
}

}  // namespace
}  // namespace ub
