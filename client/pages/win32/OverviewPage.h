// The overview pages of the ten page groups that have one: the title
// picture, and the skip box with the jump choices that decide on which
// page the group starts (for the root page: which node the client selects
// after start-up). Every change is saved at once; it takes effect at the
// next start of the client.
#pragma once

#include <memory>

#include "client/controls/win32/SkinPage.h"
#include "client/pages/OverviewLook.h"
#include "client/shell/ClientSettings.h"

namespace ub {

class COverviewPage : public CSkinPage {
public:
    // `placer` is the one placement shared by every overview page.
    COverviewPage(int templateId, CClientSettings& settings, COverviewPlacer& placer);

protected:
    void Layout() override;
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void Apply(bool save);

    CClientSettings& m_settings;
    COverviewPlacer& m_placer;
    int32_t m_unused = 0;  // the flag of a template without one
    std::unique_ptr<COverviewLook> m_look;
};

}  // namespace ub
