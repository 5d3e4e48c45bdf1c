#include "client/pages/OverviewLook.h"

namespace ub {

COverviewLook::COverviewLook(int choices, int32_t& skip)
    : m_choices(choices < 0 ? 0 : (choices > 3 ? 3 : choices)), m_skip(skip) {
    m_shown.fill(true);  // as the template makes them
}

int COverviewLook::Current() const { return m_skip >= 1 && m_skip <= m_choices ? m_skip : 0; }

bool COverviewLook::Shown(int id) const {
    return id >= kOverviewTitle && id <= kOverviewLastId && m_shown[size_t(id - kOverviewTitle)];
}

void COverviewLook::Set(int id, bool shown) { m_shown[size_t(id - kOverviewTitle)] = shown; }

void COverviewLook::SetChoice(int k, bool box, bool ticked, bool caption) {
    Set(ChoiceBox(k), box);
    Set(ChoiceTicked(k), ticked);
    Set(ChoiceCaption(k), caption);
}

bool COverviewLook::Initial() {
    Set(kSkipTicked, false);
    for (int k = 1; k <= m_choices; ++k) SetChoice(k, false, false, false);
    const int v = Current();
    if (v == 0) return false;
    Set(kSkipBox, false);
    Set(kSkipTicked, true);
    for (int k = 1; k <= m_choices; ++k) SetChoice(k, true, false, true);
    return Choose(v);
}

bool COverviewLook::ToggleSkip() {
    if (Current() != 0) {
        m_skip = 0;
        Set(kSkipBox, true);
        Set(kSkipTicked, false);
        for (int k = 1; k <= m_choices; ++k) SetChoice(k, false, false, false);
    } else {
        m_skip = 1;
        Set(kSkipBox, false);
        Set(kSkipTicked, true);
        for (int k = 1; k <= m_choices; ++k) SetChoice(k, k != 1, k == 1, true);
    }
    return true;
}

bool COverviewLook::Choose(int k) {
    const int v = Current();
    if (v == 0 || k < 1 || k > m_choices) return false;
    Set(ChoiceBox(v), true);
    Set(ChoiceTicked(v), false);
    m_skip = k;
    Set(ChoiceBox(k), false);
    Set(ChoiceTicked(k), true);
    return true;
}

const LayoutRect* COverviewPlacer::Next() {
    if (m_position >= kOverviewRectCount) return nullptr;
    return &OverviewRects()[m_position++];
}

int32_t* OverviewSkipFlag(int templateId, CClientSettings& s) {
    switch (templateId) {
        case 125: return &s.TitleSkip;
        case 117: return &s.WarnSkip;
        case 126: return &s.WarnItemSkip;
        case 115: return &s.AuthSkip;
        case 128: return &s.AuthItemSkip;
        case 113: return &s.QuarSkip;
        case 103: return &s.AllProcSkip;
        case 107: return &s.ModSkip;   // the process group, despite the name
        case 110: return &s.ProcSkip;  // the module group
        case 119: return &s.StandSkip;
        default: return nullptr;
    }
}

std::string OsVersionText(uint32_t major, uint32_t minor, const char* servicePack) {
    std::string text = "Microsoft Win32s";
    if (major == 5) {
        if (minor == 2) text = "Microsoft Windows Server 2003 ";
        else if (minor == 1) text = "Microsoft Windows XP ";
        else if (minor == 0) text = "Microsoft Windows 2000 ";
    } else if (major <= 4) {
        text = "Microsoft Windows NT ";
    }
    return text + (servicePack ? servicePack : "");
}

}  // namespace ub
