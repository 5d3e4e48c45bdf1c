// The "Infomation" page (template 124): its "Help" and "Online" buttons
// ask the main frame to open the help file or the product's web page.
#pragma once

#include "client/controls/win32/SkinPage.h"

namespace ub {

class CInfoPage : public CSkinPage {
public:
    CInfoPage();

protected:
    bool OnCommand(int id, int code, HWND control) override;
};

}  // namespace ub
