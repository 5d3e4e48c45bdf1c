#include "client/config/ConfigLook.h"

namespace ub {
namespace {

constexpr bool NeverShown(int id) { return id >= 2120 && id <= 2129; }

}  // namespace

CConfigLook::CConfigLook(CClientSettings& settings) : m_settings(settings) {
    for (int id = kConfigFirstId; id <= kConfigLastId; ++id) m_shown[size_t(id - kConfigFirstId)] = !NeverShown(id);
}

bool CConfigLook::Shown(int id) const {
    return id >= kConfigFirstId && id <= kConfigLastId && m_shown[size_t(id - kConfigFirstId)];
}

void CConfigLook::Set(int id, bool shown) { m_shown[size_t(id - kConfigFirstId)] = shown && !NeverShown(id); }

void CConfigLook::ShowValue(const RadioOption& option, bool chosen) {
    const int32_t value = m_settings.*option.field;
    if (value < 0 || value >= option.count) return;  // no box of this option names it
    Set(option.firstBox + value, !chosen);
    Set(option.firstTicked + value, chosen);
}

int CConfigLook::Initial() {
    for (const RadioOption* o : {&kSvrSpeedOption, &kCliSpeedOption, &kTreeSortOption, &kWarnSetOption})
        for (int k = 0; k < o->count; ++k) Set(o->firstTicked + k, false);
    Set(kAutoMinOption.ticked, false);
    int saves = 0;
    for (const RadioOption* o : {&kSvrSpeedOption, &kCliSpeedOption, &kTreeSortOption}) {
        ShowValue(*o, true);
        ++saves;
    }
    if (m_settings.AutoMin == 1) {
        Set(kAutoMinOption.box, false);
        Set(kAutoMinOption.ticked, true);
    }
    return saves;
}

ConfigEffect CConfigLook::Select(const RadioOption& option, int value) {
    ShowValue(option, false);
    m_settings.*option.field = value;
    ShowValue(option, true);
    if (&option == &kSvrSpeedOption) return ConfigEffect::ServiceSpeed;
    if (&option == &kTreeSortOption) return ConfigEffect::TreeOrder;
    return ConfigEffect::Save;
}

void CConfigLook::Toggle(const CheckOption& option) {
    int32_t& value = m_settings.*option.field;
    value = value == 0 ? 1 : 0;
    Set(option.box, value == 0);
    Set(option.ticked, value != 0);
}

ConfigEffect CConfigLook::Click(int id) {
    for (const RadioOption* o : {&kSvrSpeedOption, &kCliSpeedOption, &kTreeSortOption, &kWarnSetOption})
        if (id >= o->firstBox && id < o->firstBox + o->count) return Select(*o, id - o->firstBox);
    for (const CheckOption* o : {&kAutoMinOption, &kAutoDelOption}) {
        if (id != o->box && id != o->ticked) continue;
        Toggle(*o);
        return ConfigEffect::Save;
    }
    return ConfigEffect::None;
}

}  // namespace ub
