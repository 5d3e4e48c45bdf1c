#include "client/quarantine/Archive.h"

#include <cstring>

namespace ub {
namespace {

void PutU8(std::vector<uint8_t>* out, uint8_t v) { out->push_back(v); }
void PutU16(std::vector<uint8_t>* out, uint16_t v) {
    out->push_back(uint8_t(v));
    out->push_back(uint8_t(v >> 8));
}
void PutU32(std::vector<uint8_t>* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(uint8_t(v >> (8 * i)));
}

// Bounded reads: every read fails, without moving, past the end.
class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    size_t Remaining() const { return m_bytes.size() - m_pos; }
    bool U8(uint8_t* v) {
        if (Remaining() < 1) return false;
        *v = m_bytes[m_pos++];
        return true;
    }
    bool U16(uint16_t* v) {
        if (Remaining() < 2) return false;
        *v = uint16_t(m_bytes[m_pos] | m_bytes[m_pos + 1] << 8);
        m_pos += 2;
        return true;
    }
    bool U32(uint32_t* v) {
        if (Remaining() < 4) return false;
        std::memcpy(v, m_bytes.data() + m_pos, 4);  // little-endian hosts only
        m_pos += 4;
        return true;
    }
    // The count of a length prefix; `*wide` is set for the wide form.
    bool Length(uint32_t* length, bool* wide) {
        uint8_t b;
        if (!U8(&b)) return false;
        if (b < 0xFF) {
            *length = b;
            return true;
        }
        uint16_t w;
        if (!U16(&w)) return false;
        if (w == 0xFFFF) return U32(length);
        if (w == 0xFFFE) {
            if (*wide) return false;  // one wide marker only
            *wide = true;
            return Length(length, wide);
        }
        *length = w;
        return true;
    }
    bool Text(std::string* out, WideToAnsiFn wideToAnsi) {
        bool wide = false;
        uint32_t length;
        if (!Length(&length, &wide)) return false;
        uint64_t bytes = wide ? uint64_t(length) * 2 : length;
        if (bytes > Remaining()) return false;  // never allocate beyond the file
        const uint8_t* p = m_bytes.data() + m_pos;
        m_pos += size_t(bytes);
        if (!wide) {
            out->assign(reinterpret_cast<const char*>(p), length);
            return true;
        }
        std::u16string text(length, u'\0');
        for (uint32_t i = 0; i < length; ++i) text[i] = char16_t(p[2 * i] | p[2 * i + 1] << 8);
        *out = wideToAnsi(text);
        return true;
    }

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_pos = 0;
};

}  // namespace

std::string WideToAsciiFallback(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) out.push_back(c < 0x80 ? char(c) : '?');
    return out;
}

void AppendArchiveString(std::vector<uint8_t>* out, const std::string& text) {
    size_t n = text.size();
    if (n < 255) {
        PutU8(out, uint8_t(n));
    } else if (n < 65534) {
        PutU8(out, 0xFF);
        PutU16(out, uint16_t(n));
    } else {
        PutU8(out, 0xFF);
        PutU16(out, 0xFFFF);
        PutU32(out, uint32_t(n));
    }
    out->insert(out->end(), text.begin(), text.end());
}

std::vector<uint8_t> EncodeArchive(const AuthenticList& authentic, const QuarantineList& quarantine) {
    std::vector<uint8_t> out;
    PutU32(&out, kArchiveVersion);
    PutU32(&out, uint32_t(authentic.size()));
    for (const auto& e : authentic) {
        PutU32(&out, e->reserved);
        PutU32(&out, e->time.low);
        PutU32(&out, e->time.high);
        AppendArchiveString(&out, e->name);
        AppendArchiveString(&out, e->path);
    }
    PutU32(&out, uint32_t(quarantine.size()));
    for (const auto& e : quarantine) {
        PutU32(&out, uint32_t(e->status));
        PutU32(&out, e->time.low);
        PutU32(&out, e->time.high);
        AppendArchiveString(&out, e->backupName);
        AppendArchiveString(&out, e->originalPath);
    }
    return out;
}

ArchiveLoad DecodeArchive(const std::vector<uint8_t>& bytes, AuthenticList* authentic, QuarantineList* quarantine,
                          WideToAnsiFn wideToAnsi) {
    if (bytes.empty()) return ArchiveLoad::Empty;
    Reader r(bytes);
    uint32_t version;
    if (!r.U32(&version)) return ArchiveLoad::PastEnd;
    if (version != kArchiveVersion) return ArchiveLoad::BadVersion;

    uint32_t count;
    if (!r.U32(&count)) return ArchiveLoad::PastEnd;
    // Entries are made one complete record at a time, so a huge count costs
    // nothing until the bytes run out.
    for (int32_t i = 0; i < int32_t(count); ++i) {
        auto e = std::make_unique<AuthenticEntry>();
        if (!r.U32(&e->reserved) || !r.U32(&e->time.low) || !r.U32(&e->time.high) || !r.Text(&e->name, wideToAnsi) ||
            !r.Text(&e->path, wideToAnsi))
            return ArchiveLoad::PastEnd;
        authentic->push_back(std::move(e));
    }
    if (!r.U32(&count)) return ArchiveLoad::PastEnd;
    for (int32_t i = 0; i < int32_t(count); ++i) {
        auto e = std::make_unique<QuarantineEntry>();
        uint32_t status;
        if (!r.U32(&status) || !r.U32(&e->time.low) || !r.U32(&e->time.high) ||
            !r.Text(&e->backupName, wideToAnsi) || !r.Text(&e->originalPath, wideToAnsi))
            return ArchiveLoad::PastEnd;
        e->status = int32_t(status);
        quarantine->push_back(std::move(e));
    }
    return ArchiveLoad::Loaded;
}

}  // namespace ub
