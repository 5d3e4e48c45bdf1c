#include "tools/ubscan/ImageLayout.h"

#include <algorithm>
#include <cstring>

namespace ub {
namespace {

struct Reader {
    const std::vector<uint8_t>& bytes;
    bool Holds(uint64_t offset, uint64_t length) const {
        return offset <= bytes.size() && length <= bytes.size() - offset;
    }
    uint16_t U16(size_t o) const { return uint16_t(bytes[o] | bytes[o + 1] << 8); }
    uint32_t U32(size_t o) const {
        uint32_t v;
        std::memcpy(&v, bytes.data() + o, 4);
        return v;
    }
};

struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawSize;
    uint32_t rawOffset;
};

// Fills `image` from `file`; false when the headers do not allow it.
bool Layout(const std::vector<uint8_t>& file, std::vector<uint8_t>* image) {
    Reader r{file};
    if (!r.Holds(0, 64) || r.U16(0) != 0x5A4D) return false;
    uint32_t nt = r.U32(0x3C);
    if (!r.Holds(nt, 24) || r.U32(nt) != 0x00004550) return false;
    uint16_t sectionCount = r.U16(nt + 6);
    uint16_t optionalSize = r.U16(nt + 20);
    size_t optional = nt + 24;
    // SizeOfImage and SizeOfHeaders sit at the same offsets in PE32 and PE32+.
    if (!r.Holds(optional, 64)) return false;
    uint32_t imageSize = r.U32(optional + 56);
    uint32_t headersSize = r.U32(optional + 60);
    if (imageSize == 0 || imageSize > kMaxLayoutSize || headersSize > imageSize) return false;
    uint64_t table = uint64_t(optional) + optionalSize;
    if (!r.Holds(table, uint64_t(sectionCount) * 40)) return false;

    std::vector<Section> sections(sectionCount);
    for (size_t i = 0; i < sectionCount; ++i) {
        size_t s = size_t(table) + i * 40;
        sections[i] = {r.U32(s + 12), r.U32(s + 8), r.U32(s + 16), r.U32(s + 20)};
        if (sections[i].virtualAddress >= imageSize) return false;
    }

    image->assign(imageSize, 0);
    // Headers: the loader maps at least the whole header page region given
    // by SizeOfHeaders; a tiny file may hold less.
    size_t headerBytes = std::min<size_t>(std::max<size_t>(headersSize, size_t(table) + sectionCount * 40),
                                          std::min<size_t>(file.size(), imageSize));
    std::memcpy(image->data(), file.data(), headerBytes);
    for (const Section& s : sections) {
        uint64_t length = s.rawSize;
        if (s.virtualSize != 0) length = std::min<uint64_t>(length, s.virtualSize);
        length = std::min<uint64_t>(length, imageSize - uint64_t(s.virtualAddress));
        if (s.rawOffset >= file.size()) length = 0;
        else length = std::min<uint64_t>(length, file.size() - s.rawOffset);
        std::memcpy(image->data() + s.virtualAddress, file.data() + s.rawOffset, size_t(length));
    }
    return true;
}

}  // namespace

std::vector<uint8_t> LayOutImage(const std::vector<uint8_t>& file, bool* laidOut) {
    std::vector<uint8_t> image;
    bool ok = Layout(file, &image);
    if (laidOut) *laidOut = ok;
    return ok ? image : file;
}

}  // namespace ub
