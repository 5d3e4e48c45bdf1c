// The configuration page's portable side: the boxes of its options, which
// of them show for the current settings, and what a click changes. The
// page applies the looks to its controls, saves the settings and carries
// out the two immediate effects.
#pragma once

#include <array>
#include <cstdint>

#include "client/shell/ClientSettings.h"

namespace ub {

enum : int { kConfigFirstId = 2100, kConfigLastId = 2142 };

// A radio option: its choices' empty boxes from firstBox, their ticked
// boxes from firstTicked, in value order.
struct RadioOption {
    int32_t CClientSettings::*field;
    int firstBox;
    int firstTicked;
    int count;
};
// A check option: one empty and one ticked box.
struct CheckOption {
    int32_t CClientSettings::*field;
    int box;
    int ticked;
};

inline constexpr RadioOption kSvrSpeedOption{&CClientSettings::SvrSpeed, 2104, 2107, 3};
inline constexpr RadioOption kCliSpeedOption{&CClientSettings::CliSpeed, 2114, 2117, 3};
inline constexpr RadioOption kTreeSortOption{&CClientSettings::TreeSort, 2131, 2134, 3};
inline constexpr RadioOption kWarnSetOption{&CClientSettings::WarnSet, 2123, 2125, 2};
inline constexpr CheckOption kAutoMinOption{&CClientSettings::AutoMin, 2140, 2141};
inline constexpr CheckOption kAutoDelOption{&CClientSettings::AutoDel, 2128, 2129};

// What a click asks the page to do besides showing the new look.
enum class ConfigEffect {
    None,        // the click changes nothing
    Save,        // save the settings
    ServiceSpeed,  // save, then write the new speed codes into the channel
    TreeOrder,   // save, then sort the process nodes again
};

// The visible boxes of the page over the settings. The WarnSet and AutoDel
// controls (2120 to 2129) are never shown; their values are only kept.
//
// A stored value outside a radio option's choices shows none of its boxes
// ticked, and choosing a value then leaves exactly one ticked; the boxes of
// the other options are never touched.
class CConfigLook {
public:
    explicit CConfigLook(CClientSettings& settings);

    // The look after creation; returns how many times the settings are to
    // be saved (once per shown option).
    int Initial();
    ConfigEffect Click(int id);
    bool Shown(int id) const;

private:
    void Set(int id, bool shown);
    void ShowValue(const RadioOption& option, bool chosen);
    ConfigEffect Select(const RadioOption& option, int value);
    void Toggle(const CheckOption& option);

    CClientSettings& m_settings;
    std::array<bool, kConfigLastId - kConfigFirstId + 1> m_shown;
};

}  // namespace ub
