// libFuzzer target for the import inspector and the image layout. The input
// is taken both as a loaded image and as a file to lay out. Besides memory
// safety (ASan/UBSan), it checks that results stay within their documented
// values and equal those of the plainly written rules (ReferenceInspection.h).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/SharedFormat.h"
#include "service/ImportInspector.h"
#include "tests/fuzz/ReferenceInspection.h"
#include "tools/ubscan/ImageLayout.h"

namespace {

constexpr uint32_t kInspectorFlags = ub::MF_BAD_IMAGE | ub::MF_READ_PROCESS_MEMORY | ub::MF_CALL_MSG_FILTER |
                                     ub::MF_WRITE_PROCESS_MEMORY | ub::MF_DEBUG_ACTIVE_PROCESS |
                                     ub::MF_SET_WINDOWS_HOOK_EX;

// Layouts are allocated at SizeOfImage (up to 512 MiB); larger ones than
// this are skipped so that runs stay fast and within the RSS limit.
constexpr uint32_t kMaxFuzzLayout = 16u << 20;

uint32_t ReadU32(const uint8_t* data, size_t size, uint64_t offset, uint32_t fallback) {
    if (offset > size || size - offset < 4) return fallback;
    uint32_t v;
    std::memcpy(&v, data + offset, 4);
    return v;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

void InspectAsImage(const uint8_t* data, size_t size) {
    uint32_t flags = ub::InspectImage(data, size, 0);
    Check((flags & ~kInspectorFlags) == 0);
    Check(flags == ub::fuzz::ReferenceInspection(data, size, 0));
    // The partial mark is OR-ed in, or dropped with bad headers.
    uint32_t partial = ub::InspectImage(data, size, ub::MF_PARTIAL_IMAGE);
    Check(partial == (flags | ub::MF_PARTIAL_IMAGE) || (partial == ub::MF_BAD_IMAGE && flags == ub::MF_BAD_IMAGE));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size heap copy: reads past the end are caught by ASan.
    std::vector<uint8_t> bytes(data, data + size);
    InspectAsImage(bytes.data(), bytes.size());

    const uint32_t descriptorSentinel = 0xDEADBEEF;
    uint32_t descriptor = descriptorSentinel;
    const uint32_t flag = 0x1;
    uint32_t found = ub::FindImportDescriptor(bytes.data(), bytes.size(), "kernel32.dll", &descriptor, flag);
    if (found == flag) {
        // The descriptor's Name field lies in the image.
        Check(uint64_t(descriptor) + 16 <= size);
    } else {
        Check(found == 0 || found == ub::MF_BAD_IMAGE);
        Check(descriptor == descriptorSentinel);
    }

    const uint32_t nt = ReadU32(data, size, 0x3C, 0);
    const uint32_t sizeOfImage = ReadU32(data, size, uint64_t(nt) + 24 + 56, 0);
    if (sizeOfImage <= kMaxFuzzLayout) {
        bool laidOut = false;
        std::vector<uint8_t> image = ub::LayOutImage(bytes, &laidOut);
        Check(laidOut ? image.size() == sizeOfImage : image == bytes);
        InspectAsImage(image.data(), image.size());
    }
    return 0;
}
