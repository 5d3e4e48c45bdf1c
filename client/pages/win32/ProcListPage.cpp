#include "client/pages/win32/ProcListPage.h"

#include <map>
#include <string>

#include "client/controls/ListSort.h"
#include "client/pages/win32/ProcInfoPage.h"
#include "client/pages/win32/Win32TimeText.h"
#include "client/res/resource.h"

namespace ub {

static_assert(kAllProcessesTemplate == IDD_ALL_PROCESSES && kAuthenticProcessesTemplate == IDD_AUTHENTIC_ITEM_PROCESSES,
              "the filter rule names the templates");

CProcListPage::CProcListPage(int templateId, CTreeController& controller, CClientTables& tables, HIMAGELIST images)
    : CSkinPage(templateId), m_controller(controller), m_tables(tables), m_images(images) {}

BOOL CProcListPage::OnInitDialog() {
    CSkinPage::OnInitDialog();
    m_list = Item(kProcessListId);
    if (win::CListView list = ListView()) {
        // The image list is the tree's: destroying the list must leave it.
        HWND hwnd = list.Handle();
        ::SetWindowLongPtrA(hwnd, GWL_STYLE, ::GetWindowLongPtrA(hwnd, GWL_STYLE) | LVS_SHAREIMAGELISTS);
        list.SetExtendedStyle(0, LVS_EX_FULLROWSELECT);
        for (int i = 0; i < int(sizeof kProcListColumns / sizeof kProcListColumns[0]); ++i)
            list.InsertColumn(i, kProcListColumns[i].heading, kProcListColumns[i].width);
        if (m_images) list.SetSmallImageList(m_images);
    }
    Skin(IDC_KILL);
    if (TemplateId() == IDD_ALL_PROCESSES) Skin(IDC_CLEAN_FINISHED);
    return TRUE;
}

int CProcListPage::ShowContext(uintptr_t) {
    m_state.needFull = true;
    DeleteAllRows();
    return 1;
}

int CProcListPage::OnTablesChanged(int mode, uintptr_t context) {
    const ModuleRecord* filter = nullptr;
    if (!ProcessListFilter(TemplateId(), context, &filter)) return 0;
    // The shell answers by file type alone: one question per type and update.
    std::map<std::string, int> imageOfType;
    auto image = [&](const ProcessRecord& p) {
        const ModuleRecord* main = MainModule(p, m_tables);
        std::string type = main ? FileTypeOf(main->fullPath) : std::string();
        auto it = imageOfType.find(type);
        if (it == imageOfType.end()) it = imageOfType.emplace(type, m_controller.ProcessImage(p)).first;
        return it->second;
    };
    ::SendMessageA(List(), WM_SETREDRAW, FALSE, 0);
    UpdateProcessRows(*this, m_state, mode, filter, m_tables, image, ListTimeText);
    ::SendMessageA(List(), WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(List(), nullptr, TRUE);
    return 1;
}

int CProcListPage::Reselect(uintptr_t value) {
    m_state.reselect = value;
    return 1;
}

void CProcListPage::ForgetRecords() {
    DeleteAllRows();
    m_state = ProcessListState{};
}

void CProcListPage::InsertTop(const std::vector<std::string>& texts, int image, uintptr_t data) {
    win::CListView list = ListView();
    int row = list.InsertItem(0, texts.empty() ? "" : texts[0].c_str(), image, data);
    if (row < 0) return;
    for (size_t sub = 1; sub < texts.size(); ++sub) list.SetSubItem(row, int(sub), texts[sub].c_str());
    list.SetItemState(row, 0, LVIS_SELECTED | LVIS_FOCUSED);
}

int CALLBACK CProcListPage::CompareCallback(LPARAM a, LPARAM b, LPARAM page) {
    const auto* self = reinterpret_cast<const CProcListPage*>(page);
    return CompareProcesses(*reinterpret_cast<const ProcessRecord*>(a), *reinterpret_cast<const ProcessRecord*>(b),
                            self->m_sortKey, self->m_tables);
}

void CProcListPage::SortRows() { ListView().SortItems(CompareCallback, reinterpret_cast<LPARAM>(this)); }

void CProcListPage::Resize(int cx, int cy) {
    ::MoveWindow(List(), 20, 40, cx - 40, cy - 80, TRUE);
    const UINT keep = SWP_NOSIZE | SWP_NOACTIVATE;
    ::SetWindowPos(Item(IDC_KILL), HWND_TOP, cx - 60, cy - 30, 0, 0, keep);
    if (TemplateId() == IDD_ALL_PROCESSES)
        ::SetWindowPos(Item(IDC_CLEAN_FINISHED), HWND_TOP, cx - 200, cy - 30, 0, 0, keep);
}

bool CProcListPage::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED) return false;
    if (id == IDC_KILL) {
        win::CListView list = ListView();
        int row = list.GetNextSelectedItem(-1);
        if (row >= 0) KillProcessOfRecord(m_hWnd, *reinterpret_cast<const ProcessRecord*>(list.GetItemParam(row)), m_tables);
        return true;
    }
    if (id == IDC_CLEAN_FINISHED && TemplateId() == IDD_ALL_PROCESSES) {
        m_controller.PurgeEndedProcesses(this);
        return true;
    }
    return false;
}

INT_PTR CProcListPage::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE:
            if (!List()) break;
            Resize(LOWORD(lp), HIWORD(lp));
            return TRUE;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lp);
            if (header->idFrom != kProcessListId) break;
            if (header->code == LVN_COLUMNCLICK) {
                m_sortKey = NextSortKey(m_sortKey, reinterpret_cast<NMLISTVIEW*>(lp)->iSubItem);
                SortRows();
                return TRUE;
            }
            if (header->code == NM_DBLCLK) {
                win::CListView list = ListView();
                int row = list.GetNextSelectedItem(-1);
                if (row >= 0) m_controller.SelectProcessItem(reinterpret_cast<const ProcessRecord*>(list.GetItemParam(row)));
                return TRUE;
            }
            break;
        }
    }
    return CSkinPage::DialogProc(msg, wp, lp);
}

}  // namespace ub
