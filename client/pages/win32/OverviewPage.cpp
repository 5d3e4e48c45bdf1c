#include "client/pages/win32/OverviewPage.h"

#include "client/shell/win32/Win32SettingsRegistry.h"

namespace ub {

COverviewPage::COverviewPage(int templateId, CClientSettings& settings, COverviewPlacer& placer)
    : CSkinPage(templateId), m_settings(settings), m_placer(placer) {}

void COverviewPage::Layout() {
    // Every control the template has and that can be skinned takes the next
    // rectangle of the shared list.
    for (int id = kOverviewTitle; id <= kOverviewLastId; ++id) {
        if (!Item(id) || !Skin(id)) continue;
        const LayoutRect* r = m_placer.Next();
        if (!r) break;
        Place(id, r->x, r->y, r->width, r->height);
    }
}

BOOL COverviewPage::OnInitDialog() {
    CSkinPage::OnInitDialog();
    int choices = 0;
    while (choices < 3 && Item(ChoiceTicked(choices + 1))) ++choices;
    int32_t* flag = OverviewSkipFlag(TemplateId(), m_settings);
    m_look = std::make_unique<COverviewLook>(choices, flag ? *flag : m_unused);
    Apply(m_look->Initial());
    return TRUE;
}

// Controls left unskinned stay as the template made them.
void COverviewPage::Apply(bool save) {
    for (int id = kSkipBox; id <= kOverviewLastId; ++id)
        if (Button(id)) ::ShowWindow(Item(id), m_look->Shown(id) ? SW_SHOWNA : SW_HIDE);
    if (save) {
        CWin32SettingsRegistry registry;
        m_settings.Save(registry);
    }
}

bool COverviewPage::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED || !m_look) return false;
    if (id == kSkipBox || id == kSkipTicked) {
        Apply(m_look->ToggleSkip());
        return true;
    }
    if (id >= ChoiceBox(1) && id <= ChoiceBox(3)) {
        Apply(m_look->Choose(id - kSkipBox));
        return true;
    }
    return false;
}

}  // namespace ub
