// The model side of the navigation tree: the fixed nodes, the warning items
// and the process subtree kept up to date after each refresh, the authentic
// and quarantine lists with their operations, and the navigation history.
// Drives the tree through ITree and reaches the window, the message boxes
// and the platform through the interfaces below. User-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "client/monitor/Classification.h"
#include "client/monitor/ImageIndexes.h"
#include "client/monitor/ClientTables.h"
#include "client/monitor/NavigationHistory.h"
#include "client/monitor/Tree.h"
#include "client/quarantine/Archive.h"
#include "client/quarantine/Entries.h"
#include "client/quarantine/QuarantineStore.h"
#include "client/shell/ClientSettings.h"

namespace ub {

// Icon resources of the fixed nodes and of a process without its own icon.
enum : int {
    ICON_ROOT = 135,
    ICON_VIEW = 136,
    ICON_WARNING_LIST = 137,
    ICON_AUTHENTIC_LIST = 138,
    ICON_QUARANTINE = 139,
    ICON_PROCESSES = 140,
    ICON_CONFIGURE = 141,
    ICON_STANDARD = 142,
    ICON_INFORMATION = 143,
    ICON_ABOUT = 145,
    ICON_NO_PROCESS_ICON = 148,
};

// Page indexes of the nodes.
enum : int {
    PAGE_ROOT = 0,
    PAGE_VIEW = 1,
    PAGE_WARNING_LIST = 2,
    PAGE_WARNING_ITEM = 3,
    PAGE_AUTHENTIC_LIST = 4,
    PAGE_AUTHENTIC_ITEM = 5,
    PAGE_QUARANTINE = 6,
    PAGE_PROCESSES = 7,
    PAGE_PROCESS = 8,
    PAGE_MODULE = 9,
    PAGE_CONFIGURE = 10,
    PAGE_STANDARD = 11,
    PAGE_INFORMATION = 12,
    PAGE_ABOUT = 13,
    PAGE_COUNT = 14,
};

// What the controller asks of the window around it.
class IClientFrame {
public:
    virtual ~IClientFrame() = default;
    virtual void StartAlert() = 0;
    virtual void StopAlert() = 0;
    // A refresh of kind 1 (delta) or 2 (snapshot) happened.
    virtual void TablesChanged(int kind) = 0;
    // Closes the start-up wait dialog when it still exists.
    virtual void CloseWaitDialog() = 0;
};

// The client's message boxes, captioned with the application title.
class IPrompt {
public:
    virtual ~IPrompt() = default;
    // A box with one OK button.
    virtual void Message(const std::string& text) = 0;
    // A Yes/No question; true only for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // A file or archive error.
    virtual void FileError(const std::string& text) = 0;
};

// Small icons of executables from the system image list.
class ISystemIcons {
public:
    virtual ~ISystemIcons() = default;
    // The system image-list index of a file's small icon, or -1.
    virtual int SmallIconIndex(const char* path) = 0;
};

// A list control whose rows carry records as item data.
class IRecordRows {
public:
    virtual ~IRecordRows() = default;
    virtual int RowCount() = 0;
    virtual uintptr_t RowData(int row) = 0;
    virtual void DeleteRow(int row) = 0;
};

// The platform facts and services the controller needs.
struct TreePlatform {
    IVersionInfo* versionInfo = nullptr;
    IFileAttributes* attributes = nullptr;
    ISystemIcons* systemIcons = nullptr;
    IQuarantineFiles* files = nullptr;
    IArchiveFile* archive = nullptr;
    TrustedFolders folders;         // programFolder ends with a backslash
    bool windows2000 = false;       // system icon indexes need the correction
    WideToAnsiFn wideToAnsi = WideToAsciiFallback;
};

struct FixedNodes {
    TreeItem root = kNoItem, view = kNoItem, warningList = kNoItem, authentic = kNoItem, quarantine = kNoItem,
             processes = kNoItem, configure = kNoItem, standard = kNoItem, information = kNoItem, about = kNoItem;
};

// The page a node shows and the parameter the page receives.
struct PageTarget {
    int page = PAGE_ROOT;
    uintptr_t parameter = 0;
};

// The module comparator (keys 0 to 7) and the process comparator (keys 0 to
// 13); the process comparator needs the tables for the main module.
int CompareModules(const ModuleRecord& a, const ModuleRecord& b, int key);
int CompareProcesses(const ProcessRecord& a, const ProcessRecord& b, int key, const CClientTables& tables);

// The tree icon of a module by its flags alone, for an item that goes back
// under "Warning list"; 0 when the flags are 0.
int FlagsIcon(uint32_t flags);

class CTreeController {
public:
    CTreeController(ITree& tree, CClientTables& tables, const CClientSettings& settings, IClientFrame& frame,
                    IPrompt& prompt, const TreePlatform& platform);

    // The ten fixed nodes with their page indexes, the history's start
    // entry; the root and "View" expanded.
    void InsertFixedNodes();
    const FixedNodes& Nodes() const { return m_nodes; }
    ITree& Tree() { return m_tree; }
    CImageIndexes& Images() { return m_images; }
    CNavigationHistory& History() { return m_history; }

    // The page of a node: the dynamic nodes by their parent, the fixed ones
    // by their item data.
    PageTarget PageOf(TreeItem item);
    // The tree's selection changed: records the node in the history.
    void OnSelectionChanged(TreeItem item) { m_history.OnSelected(item); }

    // After a merge of kind r: client bits for the new and re-inspected
    // modules (all of them after a snapshot).
    void ApplyClientBitsAfter(int r);
    void ApplyClientBits(ModuleRecord& module);
    void RefreshTree(int r);
    TreeItem InsertProcessItem(size_t position);
    // The image of a process's item and rows: the shell's small icon of its
    // main image by file type, the no-icon icon when there is none.
    int ProcessImage(const ProcessRecord& process);
    void SortProcesses();

    bool SelectProcessItem(const ProcessRecord* process);
    bool SelectWarningItem(const ModuleRecord* module);
    bool SelectAuthenticItem(const AuthenticEntry* entry);
    bool SelectModuleItem(const ProcessRecord* process, int position);

    // Removes the ended and shown processes from the tree, from rows (may be
    // null) and from the process table.
    void PurgeEndedProcesses(IRecordRows* rows);

    bool IsTrusted(const ModuleRecord& module);
    bool IsWarning(const ModuleRecord& module) { return ub::IsWarning(module.flags, IsTrusted(module)); }

    // A refresh or a list operation in progress. Their message boxes run
    // modal loops that dispatch the refresh timers; a refresh merged there
    // would free the records and entries the outer step still holds. While
    // one lives, Busy() is true and refresh ticks are skipped.
    class Operation {
    public:
        explicit Operation(CTreeController& controller) : m_controller(controller) { ++m_controller.m_busy; }
        ~Operation() {
            if (--m_controller.m_busy == 0 && m_controller.onIdle) m_controller.onIdle();
        }
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;

    private:
        CTreeController& m_controller;
    };
    bool Busy() const { return m_busy > 0; }
    // Called when the last operation in progress ends.
    std::function<void()> onIdle;

    // The lists, their archive and their operations.
    AuthenticList authentic;
    QuarantineList quarantine;
    std::string QuarantineFolder() const { return m_platform.folders.programFolder + "Quarantine\\"; }

    void ReloadLists();
    bool LoadArchive();
    bool SaveArchive();
    int QuarantineModule(ModuleRecord* module);
    int CleanEntry(QuarantineEntry* entry);
    int RecoverEntry(QuarantineEntry* entry);
    bool CleanHistory();
    int AuthenticateModule(ModuleRecord* module);
    int RemoveAuthentic(AuthenticEntry* entry);

private:
    TreeItem InsertNode(TreeItem parent, const char* text, int icon, uintptr_t data, uint32_t state = 0);
    void AddModuleItems(TreeItem processItem, const ProcessRecord& process);
    void SortWarnings();
    void SortAuthentic();
    // Deletes a module's item under "Warning list"; stops the alert when
    // none is left. False when the module had no item.
    bool RemoveWarningItem(const ModuleRecord* module);
    // Puts a module back under "Warning list" with this icon; the alert is
    // not started.
    void PutBackWarning(ModuleRecord* module, int icon);
    void PrepareNameRanks();
    // The trusted-path result of a module position, cached for one refresh.
    bool TrustedAt(size_t pos);
    bool SelectAndRemember(TreeItem item, uintptr_t value);
    ModuleRecord* ModuleAt(uint32_t index) const;

    ITree& m_tree;
    CClientTables& m_tables;
    const CClientSettings& m_settings;
    IClientFrame& m_frame;
    IPrompt& m_prompt;
    TreePlatform m_platform;
    FixedNodes m_nodes;
    CImageIndexes m_images;
    CNavigationHistory m_history{&m_tree};

    // Per-refresh caches by module position: trusted path (-1 unknown) and
    // the rank of the base name in the module comparator's key 0.
    std::vector<int8_t> m_trusted;
    std::vector<uint32_t> m_nameRank;
    std::vector<uint32_t> m_scratch;
    int m_busy = 0;
    // The archive was not read whole: the next save keeps the file's bytes.
    bool m_archiveIncomplete = false;
};

}  // namespace ub
