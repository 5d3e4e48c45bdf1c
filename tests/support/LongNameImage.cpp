#include "tests/support/LongNameImage.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "tests/support/PeBuilder.h"

namespace ub::test {

std::vector<uint8_t> BuildLongNameImage(const LongNameShape& shape, LongNameLayout* layout) {
    PeLayout base;
    std::vector<uint8_t> image = PeBuilder(shape.pe32Plus)
                                     .Import("kernel32.dll", {"ReadProcessMemory"})
                                     .Import("user32.dll", {"SetWindowsHookEx"})
                                     .BuildImage(&base);
    const uint32_t entrySize = shape.pe32Plus ? 8 : 4;
    const uint32_t descriptors = (base.importEnd + 7) & ~7u;
    const uint32_t table = descriptors + (shape.fillerDescriptors + 3) * 20;
    const uint32_t run = table + (shape.fillerEntries + 3) * entrySize + 2;  // 2: the fillers' hint
    if (shape.size < size_t(run) + std::max<size_t>(1, shape.runText.size()))
        throw std::invalid_argument("long-name image too small for its fillers");
    image.resize(shape.size, 0);

    auto entry = [&](uint32_t at, uint32_t value) {
        if (shape.pe32Plus) PutU64(image, at, value);
        else PutU32(image, at, value);
    };
    uint32_t d = descriptors;
    for (uint32_t i = 0; i < shape.fillerDescriptors; ++i, d += 20) {
        PutU32(image, d, table);
        PutU32(image, d + 12, run);
    }
    for (uint32_t real : base.descriptors) {
        std::memcpy(image.data() + d, image.data() + real, 20);
        PutU32(image, d, table);
        d += 20;
    }
    uint32_t e = table;
    for (uint32_t i = 0; i < shape.fillerEntries; ++i, e += entrySize) entry(e, run - 2);
    for (const std::vector<uint32_t>& hints : base.hintNames) {
        entry(e, hints[0]);
        e += entrySize;
    }

    std::memset(image.data() + run, 'x', shape.size - run);
    std::memcpy(image.data() + run, shape.runText.data(), shape.runText.size());
    if (shape.nulAtEnd) image[shape.size - 1] = 0;
    PutU32(image, base.importDirField, descriptors);
    if (layout) *layout = LongNameLayout{descriptors, table, run};
    return image;
}

LongNameShape LongNameShapeOfSize(size_t size) {
    LongNameShape shape;
    shape.size = size;
    shape.fillerDescriptors = uint32_t(size / 64 / 20);
    shape.fillerEntries = uint32_t(size / 64 / 4);
    return shape;
}

}  // namespace ub::test
