// The file search dialog (template 134): a modal skinned box whose search
// button and Enter key select the next module node of the tree that
// matches the edit box's text; its Cancel picture and Escape close it.
// Made, run and destroyed by the tree view for one View "&Seach..."; the
// search position lives as long as the object.
#pragma once

#include <windows.h>

#include "client/config/FileSearch.h"
#include "client/controls/win32/SkinPage.h"
#include "client/monitor/TreeController.h"
#include "client/shell/win32/ShellPlatform.h"

namespace ub {

// The text upper-cased by the current locale (multibyte-aware), and names
// compared with it after the same upper-casing.
SearchRules LocaleSearchRules();

class CSearchDialog : public CSkinBox {
public:
    // processes: the "Processes" node of the controller's tree.
    CSearchDialog(CTreeController& controller, TreeItem processes);

protected:
    BOOL OnInitDialog() override;
    // The window resized to 400 by 180 without moving it, then the pictures
    // and the edit box placed from the table.
    void Layout() override;
    void OnOK() override { Search(); }
    bool OnCommand(int id, int code, HWND control) override;

private:
    void Search();

    CTreeController& m_controller;
    CWin32Prompt m_prompt;  // owned by the dialog once it exists
    CFileSearch m_search;
};

}  // namespace ub
