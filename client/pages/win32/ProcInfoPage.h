// The process details page (template 109): nine read-only fields of the
// process shown, a line under them and "Kill"; and the kill operation that
// every "Kill" button uses.
#pragma once

#include "client/controls/win32/SkinPage.h"
#include "client/monitor/ClientTables.h"

namespace ub {

// Terminates the record's process (exit code 0xFFFFFFFF) and tells the
// user in a box owned by `owner` whether it worked. Changes no record.
void KillProcessOfRecord(HWND owner, const ProcessRecord& record, const CClientTables& tables);

// Draws the pages' separating line with the default pen at `y`, from 80
// pixels inside the left edge to 80 inside the right.
void PaintPageLine(HWND page, int y);

class CProcInfoPage : public CSkinPage {
public:
    explicit CProcInfoPage(const CClientTables& tables);

    // Shows the record as it is now; later merges do not change the page.
    int ShowContext(uintptr_t parameter) override;
    void ForgetRecords() override { m_record = nullptr; }

protected:
    INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    const CClientTables& m_tables;
    const ProcessRecord* m_record = nullptr;
};

}  // namespace ub
