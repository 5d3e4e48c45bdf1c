#include "service/ImportInspector.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/SharedFormat.h"
#include "common/TextFold.h"

namespace ub {
namespace {

constexpr size_t kDosHeaderSize = 64;
constexpr size_t kLfanewOffset = 0x3C;
constexpr size_t kNtHeadersSize32 = 248;
constexpr size_t kNtHeadersSize64 = 264;
constexpr size_t kOptionalMagicOffset = 0x18;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr size_t kImportDirOffset32 = 0x80;
constexpr size_t kImportDirOffset64 = 0x90;
constexpr size_t kDescriptorSize = 20;
constexpr size_t kDescriptorNameOffset = 12;

struct Image {
    const uint8_t* data;
    size_t size;
    // One past the image's last NUL byte (0 when it has none): a string at
    // `offset` has its terminating NUL inside the image exactly when
    // offset < nulEnd. Found once, so no name is ever scanned for its NUL;
    // a comparison then stops at the first difference or NUL, within the
    // wanted name's length plus one, which keeps an inspection linear in
    // the image size however many names run on to the end.
    size_t nulEnd;

    Image(const uint8_t* d, size_t s) : data(d), size(s), nulEnd(s) {
        while (nulEnd > 0 && data[nulEnd - 1] != 0) --nulEnd;
    }

    // True when [offset, offset + length) lies in the image.
    bool Holds(uint64_t offset, uint64_t length) const {
        return offset <= size && length <= size - offset;
    }
    uint16_t U16(size_t offset) const { return uint16_t(data[offset] | data[offset + 1] << 8); }
    uint32_t U32(size_t offset) const {
        uint32_t v;
        std::memcpy(&v, data + offset, 4);
        return v;
    }
    uint64_t U64(size_t offset) const {
        uint64_t v;
        std::memcpy(&v, data + offset, 8);
        return v;
    }
    // The NUL-terminated string at `offset`, or nullptr when it runs past
    // the end of the image.
    const char* String(size_t offset) const {
        if (offset >= nulEnd) return nullptr;
        return reinterpret_cast<const char*>(data + offset);
    }
};

struct NtHeaders {
    size_t offset;
    bool pe32Plus;
};

// DOS and NT headers: "MZ" in the first 64 bytes, the "PE\0\0" signature
// at e_lfanew with the whole NT headers inside the image (264 bytes for
// PE32+, 248 otherwise).
bool CheckHeaders(const Image& img, NtHeaders* nt) {
    if (!img.Holds(0, kDosHeaderSize) || img.U16(0) != 0x5A4D) return false;
    uint32_t lfanew = img.U32(kLfanewOffset);
    if (!img.Holds(lfanew, kNtHeadersSize32) || img.U32(lfanew) != 0x00004550) return false;
    bool plus = img.U16(lfanew + kOptionalMagicOffset) == kMagicPe32Plus;
    if (plus && !img.Holds(lfanew, kNtHeadersSize64)) return false;
    nt->offset = lfanew;
    nt->pe32Plus = plus;
    return true;
}

uint32_t FindDescriptor(const Image& img, const NtHeaders& nt, const char* dllName,
                        uint32_t* descriptor, uint32_t flag) {
    size_t dirField = nt.offset + (nt.pe32Plus ? kImportDirOffset64 : kImportDirOffset32);
    if (!img.Holds(dirField, 4)) return MF_BAD_IMAGE;
    uint64_t desc = img.U32(dirField);
    if (desc == 0) return 0;
    for (;; desc += kDescriptorSize) {
        uint64_t nameField = desc + kDescriptorNameOffset;
        if (!img.Holds(nameField, 4)) return MF_BAD_IMAGE;
        uint32_t nameRva = img.U32(size_t(nameField));
        if (nameRva == 0) return 0;
        if (!img.Holds(nameRva, 4)) return MF_BAD_IMAGE;
        const char* name = img.String(nameRva);
        if (!name) return MF_BAD_IMAGE;
        if (EqualIgnoreCase(name, dllName)) {
            *descriptor = uint32_t(desc);
            return flag;
        }
    }
}

uint32_t FindByName(const Image& img, const NtHeaders& nt, const char* dllName,
                    const char* functionName, uint32_t flag) {
    uint32_t desc = 0;
    uint32_t found = FindDescriptor(img, nt, dllName, &desc, flag);
    if (found != flag) return found;
    const uint64_t entrySize = nt.pe32Plus ? 8 : 4;
    const uint64_t ordinalBit = nt.pe32Plus ? (uint64_t(1) << 63) : (uint64_t(1) << 31);
    uint64_t entry = img.U32(desc);  // OriginalFirstThunk
    if (!img.Holds(entry, 4)) return MF_BAD_IMAGE;
    for (;; entry += entrySize) {
        // A table that runs off the copy before its terminating 0 is bad.
        if (!img.Holds(entry, entrySize)) return MF_BAD_IMAGE;
        uint64_t value = nt.pe32Plus ? img.U64(size_t(entry)) : img.U32(size_t(entry));
        if (value == 0) return 0;
        if (value & ordinalBit) continue;
        uint64_t nameOffset = value + 2;  // hint/name entry: 2-byte hint, then the name
        if (!img.Holds(nameOffset, 1)) return MF_BAD_IMAGE;
        const char* name = img.String(size_t(nameOffset));
        if (!name) return MF_BAD_IMAGE;
        if (name[0] == 0) continue;
        if (name[0] == functionName[0] && EqualIgnoreCase(name, functionName)) return flag;
    }
}

struct Lookup {
    const char* dll;
    const char* function;
    uint32_t flag;
};

constexpr Lookup kLookups[] = {
    {"kernel32.dll", "ReadProcessMemory", MF_READ_PROCESS_MEMORY},
    {"kernel32.dll", "WriteProcessMemory", MF_WRITE_PROCESS_MEMORY},
    {"kernel32.dll", "DebugActiveProcess", MF_DEBUG_ACTIVE_PROCESS},
    {"user32.dll", "SetWindowsHookEx", MF_SET_WINDOWS_HOOK_EX},
    {"user32.dll", "CallMsgFilter", MF_CALL_MSG_FILTER},
};

}  // namespace

uint32_t FindImportDescriptor(const uint8_t* image, size_t size, const char* dllName,
                              uint32_t* descriptor, uint32_t flag) {
    Image img(image, size);
    NtHeaders nt;
    if (!CheckHeaders(img, &nt)) return MF_BAD_IMAGE;
    return FindDescriptor(img, nt, dllName, descriptor, flag);
}

uint32_t FindImportByName(const uint8_t* image, size_t size, const char* dllName,
                          const char* functionName, uint32_t flag) {
    Image img(image, size);
    NtHeaders nt;
    if (!CheckHeaders(img, &nt)) return MF_BAD_IMAGE;
    return FindByName(img, nt, dllName, functionName, flag);
}

uint32_t InspectImage(const uint8_t* image, size_t size, uint32_t partialMark) {
    Image img(image, size);
    NtHeaders nt;
    if (!CheckHeaders(img, &nt)) return MF_BAD_IMAGE;
    uint32_t flags = partialMark;
    for (const Lookup& l : kLookups) flags |= FindByName(img, nt, l.dll, l.function, l.flag);
    return flags;
}

void* IProcessMemory::AllocateCopy(size_t size) { return std::calloc(size, 1); }

void IProcessMemory::FreeCopy(void* copy, size_t) { std::free(copy); }

uint32_t InspectRemoteImage(IProcessMemory& memory, uint32_t processHandle, uint64_t base,
                            uint32_t imageSize) {
    if (imageSize == 0) return MF_NO_IMAGE_SIZE;
    // Zero pages that nothing writes before the read: bytes a partial read
    // leaves out read as 0, and a claimed size far beyond the real image
    // costs address space, not memory. No limit of our own is set below
    // what the platform refuses, so the flags of a genuine image never
    // depend on one; a refused size gives MF_NO_MEMORY.
    auto release = [&memory, imageSize](uint8_t* p) { memory.FreeCopy(p, imageSize); };
    std::unique_ptr<uint8_t, decltype(release)> copy(static_cast<uint8_t*>(memory.AllocateCopy(imageSize)),
                                                     release);
    if (!copy) return MF_NO_MEMORY;
    size_t bytesRead = 0;
    uint32_t lastError = 0;
    uint32_t partialMark = 0;
    if (!memory.ReadMemory(processHandle, base, copy.get(), imageSize, &bytesRead, &lastError)) {
        if (lastError != kErrorPartialCopy || bytesRead == 0) return MF_PARTIAL_IMAGE;
        partialMark = MF_PARTIAL_IMAGE;
    }
    return InspectImage(copy.get(), imageSize, partialMark);
}

}  // namespace ub
