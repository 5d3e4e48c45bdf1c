// The configuration page (template 120, the "Standard" node's working
// page): the service's scan speed, the client's refresh speed, the order
// of the process nodes and the start hidden, each saved at once.
#pragma once

#include <functional>
#include <memory>

#include "client/config/ConfigLook.h"
#include "client/controls/win32/SkinPage.h"

namespace ub {

class CConfigPage : public CSkinPage {
public:
    // `serviceSpeed` writes the settings' speed codes into the channel;
    // `sortProcesses` orders the process nodes by the settings.
    CConfigPage(CClientSettings& settings, std::function<void()> serviceSpeed, std::function<void()> sortProcesses);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void Apply();
    void Save();

    CClientSettings& m_settings;
    std::function<void()> m_serviceSpeed, m_sortProcesses;
    std::unique_ptr<CConfigLook> m_look;
};

}  // namespace ub
