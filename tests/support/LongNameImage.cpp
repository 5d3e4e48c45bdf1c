#include "tests/support/LongNameImage.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "tests/support/PeBuilder.h"

namespace ub::test {

std::vector<uint8_t> BuildLongNameImage(const LongNameSpec& spec, LongNameLayout* layout) {
    PeLayout base;
    std::vector<uint8_t> image = PeBuilder(spec.pe32Plus)
                                     .Import("kernel32.dll", {"ReadProcessMemory"})
                                     .Import("user32.dll", {"SetWindowsHookEx"})
                                     .BuildImage(&base);
    const uint32_t entrySize = spec.pe32Plus ? 8 : 4;
    const uint32_t descriptors = (base.importEnd + 7) & ~7u;
    const uint32_t table = descriptors + (spec.fillerDescriptors + 3) * 20;
    const uint32_t run = table + (spec.fillerEntries + 3) * entrySize + 2;  // 2: the fillers' hint
    if (spec.size < size_t(run) + std::max<size_t>(1, spec.runText.size()))
        throw std::invalid_argument("long-name image too small for its fillers");
    image.resize(spec.size, 0);

    auto entry = [&](uint32_t at, uint32_t value) {
        if (spec.pe32Plus) PutU64(image, at, value);
        else PutU32(image, at, value);
    };
    uint32_t d = descriptors;
    for (uint32_t i = 0; i < spec.fillerDescriptors; ++i, d += 20) {
        PutU32(image, d, table);
        PutU32(image, d + 12, run);
    }
    for (uint32_t real : base.descriptors) {
        std::memcpy(image.data() + d, image.data() + real, 20);
        PutU32(image, d, table);
        d += 20;
    }
    uint32_t e = table;
    for (uint32_t i = 0; i < spec.fillerEntries; ++i, e += entrySize) entry(e, run - 2);
    for (const std::vector<uint32_t>& hints : base.hintNames) {
        entry(e, hints[0]);
        e += entrySize;
    }

    std::memset(image.data() + run, 'x', spec.size - run);
    std::memcpy(image.data() + run, spec.runText.data(), spec.runText.size());
    if (spec.nulAtEnd) image[spec.size - 1] = 0;
    PutU32(image, base.importDirField, descriptors);
    if (layout) *layout = LongNameLayout{descriptors, table, run};
    return image;
}

LongNameSpec LongNameSpecOfSize(size_t size) {
    LongNameSpec spec;
    spec.size = size;
    spec.fillerDescriptors = uint32_t(size / 64 / 20);
    spec.fillerEntries = uint32_t(size / 64 / 4);
    return spec;
}

}  // namespace ub::test
