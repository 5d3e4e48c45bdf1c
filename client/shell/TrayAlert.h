// The tray icon's alert: while warnings are outstanding the icon blinks
// between the normal and the red cross every 500 ms and the tip asks the
// user to empty the warning list. Portable: the frame supplies the timer
// and the icon calls.
#pragma once

#include <cstdint>

namespace ub {

constexpr int kTrayIconNormal = 129;
constexpr int kTrayIconAlarm = 130;
constexpr unsigned kBlinkTimer = 1;
constexpr uint32_t kBlinkPeriodMs = 500;
constexpr char kTrayTipIdle[] = "Umbrastead";
constexpr char kTrayTipAlert[] = "Please empty warning list to stop warning.";

class ITrayHost {
public:
    virtual ~ITrayHost() = default;
    virtual void StartBlinkTimer() = 0;
    virtual void StopBlinkTimer() = 0;
    // Changes the tray icon to this icon resource and tip.
    virtual void ModifyTrayIcon(int icon, const char* tip) = 0;
};

class CTrayAlert {
public:
    explicit CTrayAlert(ITrayHost& host) : m_host(host) {}

    // Sets the blink timer unless it is set already; the phase changes at
    // the first tick.
    void StartAlert();
    // Back to the idle icon and tip; nothing when the phase is 0 (even with
    // the timer set and not yet ticked).
    void StopAlert();
    // The blink timer ticked: phase 0 → 1 → 2 → 1 …
    void OnTick();

    int Phase() const { return m_phase; }
    const char* Tip() const { return m_phase ? kTrayTipAlert : kTrayTipIdle; }

private:
    ITrayHost& m_host;
    int m_phase = 0;
    bool m_timerSet = false;
};

}  // namespace ub
