// The client's settings: one record of sixteen 32-bit values mirrored in the
// registry ("Software\Umbrastead\1.1" under HKEY_LOCAL_MACHINE), loaded
// once at start-up and written back whole after every change.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ub {

// The settings key, reached through the platform. Used by the
// user-interface thread only.
class ISettingsRegistry {
public:
    virtual ~ISettingsRegistry() = default;
    // Opens or creates the key with full access; 0 or the error code.
    virtual long Open() = 0;
    // Reads a 4-byte value; false (and `*value` untouched) when it is
    // missing or cannot be read.
    virtual bool QueryDword(const char* name, int32_t* value) = 0;
    // Writes a REG_DWORD; a failure is ignored.
    virtual void SetDword(const char* name, int32_t value) = 0;
    // Closes the key; 0 or the error code.
    virtual long Close() = 0;
};

constexpr char kSettingsKey[] = "Software\\Umbrastead\\1.1";

class CClientSettings {
public:
    int32_t TitleSkip = 0;
    int32_t WarnSkip = 0;
    int32_t WarnItemSkip = 0;
    int32_t AuthSkip = 0;
    int32_t AuthItemSkip = 0;
    int32_t QuarSkip = 0;
    int32_t AllProcSkip = 0;
    int32_t ModSkip = 0;
    int32_t ProcSkip = 0;
    int32_t StandSkip = 0;
    int32_t SvrSpeed = 1;
    int32_t CliSpeed = 1;
    int32_t WarnSet = 0;
    int32_t TreeSort = 0;
    int32_t AutoMin = 0;
    int32_t AutoDel = 0;

    // Overlays the stored values; a missing value keeps its current one, and
    // a key that cannot be opened keeps them all. Values are not range
    // checked: each reader handles unexpected ones.
    void Load(ISettingsRegistry& registry);
    // Writes all sixteen values. Returns the error of opening the key
    // (nothing written) or of closing it.
    long Save(ISettingsRegistry& registry) const;

    // The fields in registry order, with their value names.
    static constexpr size_t kFieldCount = 16;
    static const char* FieldName(size_t i);
    int32_t& Field(size_t i);
    int32_t Field(size_t i) const { return const_cast<CClientSettings*>(this)->Field(i); }
};

}  // namespace ub
