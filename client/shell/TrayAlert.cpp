#include "client/shell/TrayAlert.h"

namespace ub {

void CTrayAlert::StartAlert() {
    // Setting the timer again would restart its count: with refreshes
    // faster than the blink period it would never tick.
    if (m_phase == 0 && !m_timerSet) {
        m_host.StartBlinkTimer();
        m_timerSet = true;
    }
}

void CTrayAlert::StopAlert() {
    if (m_phase == 0) return;
    m_phase = 0;
    m_host.ModifyTrayIcon(kTrayIconNormal, kTrayTipIdle);
    m_host.StopBlinkTimer();
    m_timerSet = false;
}

void CTrayAlert::OnTick() {
    m_phase = (m_phase & 1) + 1;
    m_host.ModifyTrayIcon(m_phase == 1 ? kTrayIconNormal : kTrayIconAlarm, kTrayTipAlert);
}

}  // namespace ub
