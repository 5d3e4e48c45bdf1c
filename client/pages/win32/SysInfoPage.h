// The system information page (template 105, third page of "Processes"):
// the computer name, the operating system, the Windows and system folders.
#pragma once

#include "client/controls/win32/SkinPage.h"

namespace ub {

class CSysInfoPage : public CSkinPage {
public:
    CSysInfoPage();
    // Filled each time the page is shown.
    int ShowContext(uintptr_t parameter) override;
};

}  // namespace ub
