#include "client/shell/TrayAlert.h"

namespace ub {

void CTrayAlert::StartAlert() {
    if (m_phase == 0) m_host.StartBlinkTimer();
}

void CTrayAlert::StopAlert() {
    if (m_phase == 0) return;
    m_phase = 0;
    m_host.ModifyTrayIcon(kTrayIconNormal, kTrayTipIdle);
    m_host.StopBlinkTimer();
}

void CTrayAlert::OnTick() {
    m_phase = (m_phase & 1) + 1;
    m_host.ModifyTrayIcon(m_phase == 1 ? kTrayIconNormal : kTrayIconAlarm, kTrayTipAlert);
}

}  // namespace ub
