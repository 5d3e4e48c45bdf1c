#include "client/config/win32/ConfigPage.h"

#include "client/res/resource.h"
#include "client/shell/win32/Win32SettingsRegistry.h"

namespace ub {

CConfigPage::CConfigPage(CClientSettings& settings, std::function<void()> serviceSpeed,
                         std::function<void()> sortProcesses)
    : CSkinPage(IDD_CONFIGURATION),
      m_settings(settings),
      m_serviceSpeed(std::move(serviceSpeed)),
      m_sortProcesses(std::move(sortProcesses)) {}

BOOL CConfigPage::OnInitDialog() {
    CSkinPage::OnInitDialog();  // skins and places 2100 to 2142, stopping at the first failure
    m_look = std::make_unique<CConfigLook>(m_settings);
    for (int saves = m_look->Initial(); saves > 0; --saves) Save();
    Apply();
    return TRUE;
}

// Controls left unskinned (their picture failed) stay as the template made them.
void CConfigPage::Apply() {
    for (int id = kConfigFirstId; id <= kConfigLastId; ++id)
        if (Button(id)) ::ShowWindow(Item(id), m_look->Shown(id) ? SW_SHOWNA : SW_HIDE);
}

void CConfigPage::Save() {
    CWin32SettingsRegistry registry;
    m_settings.Save(registry);
}

bool CConfigPage::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED || !m_look) return false;
    ConfigEffect effect = m_look->Click(id);
    if (effect == ConfigEffect::None) return false;
    Apply();
    Save();
    if (effect == ConfigEffect::ServiceSpeed && m_serviceSpeed) m_serviceSpeed();
    if (effect == ConfigEffect::TreeOrder && m_sortProcesses) m_sortProcesses();
    return true;
}

}  // namespace ub
