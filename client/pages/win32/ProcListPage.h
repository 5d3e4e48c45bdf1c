// The process list pages (templates 104, 127, 129 and 111): the processes
// of the client tables, all of them or those that load the page's module,
// kept in step with each merge; "Kill", a double click to the process's
// node, and on template 104 "CleanFin".
#pragma once

#include "client/controls/win32/ListView.h"
#include "client/controls/win32/SkinPage.h"
#include "client/monitor/ClientTables.h"
#include "client/monitor/TreeController.h"
#include "client/pages/ProcessRows.h"

namespace ub {

constexpr int kProcessListId = 1000;

class CProcListPage : public CSkinPage, private IProcessRows {
public:
    // `images` is the tree's image list, shared and never destroyed here.
    CProcListPage(int templateId, CTreeController& controller, CClientTables& tables, HIMAGELIST images);

    HWND List() const { return m_list; }
    int SortKey() const { return m_sortKey; }

    // Empties the list until the next merge.
    int ShowContext(uintptr_t parameter) override;
    int OnTablesChanged(int mode, uintptr_t parameter) override;
    // The row of `value` is selected at the end of the next update.
    int Reselect(uintptr_t value) override;
    void ForgetRecords() override;

protected:
    BOOL OnInitDialog() override;
    INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    win::CListView ListView() const { return win::CListView(List()); }
    void Resize(int cx, int cy);
    static int CALLBACK CompareCallback(LPARAM a, LPARAM b, LPARAM page);

    // The list control as the update sees it.
    int RowCount() override { return ListView().GetItemCount(); }
    uintptr_t RowData(int row) override { return ListView().GetItemParam(row); }
    void DeleteRow(int row) override { ::SendMessageA(List(), LVM_DELETEITEM, WPARAM(row), 0); }
    void DeleteAllRows() override { ListView().DeleteAllItems(); }
    void InsertTop(const std::vector<std::string>& texts, int image, uintptr_t data) override;
    void SetText(int row, int column, const std::string& text) override {
        ListView().SetSubItem(row, column, text.c_str());
    }
    void SortRows() override;
    void SelectRow(int row) override { ListView().FocusRow(row); }

    CTreeController& m_controller;
    CClientTables& m_tables;
    HIMAGELIST m_images;
    // Looked up once: an update asks the list for each row's data.
    HWND m_list = nullptr;
    int m_sortKey = 0;
    ProcessListState m_state;
};

}  // namespace ub
