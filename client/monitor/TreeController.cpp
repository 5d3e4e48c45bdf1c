#include "client/monitor/TreeController.h"

#include <algorithm>
#include <numeric>

#include "common/TextFold.h"
#include "common/ThreeWay.h"

namespace ub {
namespace {

bool IsEnded(uint8_t status) { return status == ST_FINISHED || status == ST_NEW_FINISHED; }

std::string Format(const char* pattern, const std::string& value) {
    std::string text = pattern;
    size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

const char kNoFreeBackupName[] = "Please clean some files which status of are Quar, then try again.";
const char kAccessDenied[] = "Access is denied. Make sure the file is not in use.";
const char kCleanRefused[] =
    "Just files which status of are Quar can be cleaned, please use \"Clean History\" to clean other type file.";
const char kCleanQuestion[] = "Do you make sure want to clean %s from disk?";
const char kRecoverRefused[] = "Just files which status of are Quar or Pending can be reovered.";
const char kRecoverQuestion[] = "Do you want recover %s to orignal path?";
const char kReplaceQuestion[] = "%s is exist, do you want to replace it?";
const char kCleanHistoryQuestion[] = "All of files which status of are Cleaned, Recovered and Unknown will be deleted.";
const char kUnnamedFile[] = "an unnamed file";

}  // namespace

int CompareModules(const ModuleRecord& a, const ModuleRecord& b, int key) {
    switch (key) {
        case 0: return CompareIgnoreCase(a.baseName, b.baseName);
        case 1: return -CompareIgnoreCase(a.baseName, b.baseName);
        case 2:
        case 6: return ThreeWay(a.flags, b.flags);
        case 3:
        case 7: return -ThreeWay(a.flags, b.flags);
        case 4: return CompareIgnoreCase(a.fullPath, b.fullPath);
        case 5: return -CompareIgnoreCase(a.fullPath, b.fullPath);
        default: return 0;
    }
}

int CompareProcesses(const ProcessRecord& a, const ProcessRecord& b, int key, const CClientTables& tables) {
    if (key < 0 || key > 13) return 0;
    auto mainModule = [&](const ProcessRecord& p) -> const ModuleRecord* {
        if (p.moduleCount == 0 || p.moduleIndex[0] >= tables.modules.size()) return nullptr;
        return tables.modules[p.moduleIndex[0]].get();
    };
    int r = 0;
    switch (key / 2) {
        case 0:
        case 3: {
            const ModuleRecord* ma = mainModule(a);
            const ModuleRecord* mb = mainModule(b);
            const char* ta = ma ? (key / 2 == 0 ? ma->baseName : ma->fullPath) : "";
            const char* tb = mb ? (key / 2 == 0 ? mb->baseName : mb->fullPath) : "";
            r = CompareIgnoreCase(ta, tb);
            break;
        }
        case 1: r = ThreeWay(a.status, b.status); break;
        case 2: r = ThreeWay(a.processId, b.processId); break;
        case 4: r = ThreeWay(ToU64(a.creationTime), ToU64(b.creationTime)); break;
        case 5: r = ThreeWay(ToU64(a.exitTime), ToU64(b.exitTime)); break;
        case 6: r = ThreeWay(a.moduleCount, b.moduleCount); break;
    }
    return key % 2 ? -r : r;
}

int FlagsIcon(uint32_t flags) {
    if (flags == 0) return 0;
    if (flags < 0x100) return ICON_LEVEL_LOW;
    if (flags < 0x100000) return ICON_LEVEL_MID;
    if (flags < 0x10000000) return ICON_LEVEL_HIGH;
    return ICON_LEVEL_PENDING;
}

CTreeController::CTreeController(ITree& tree, CClientTables& tables, const CClientSettings& settings,
                                 IClientFrame& frame, IPrompt& prompt, const TreePlatform& platform)
    : m_tree(tree), m_tables(tables), m_settings(settings), m_frame(frame), m_prompt(prompt), m_platform(platform) {}

TreeItem CTreeController::InsertNode(TreeItem parent, const char* text, int icon, uintptr_t data, uint32_t state) {
    return m_tree.InsertItem(parent, text, m_images.Of(icon), data, state);
}

void CTreeController::InsertFixedNodes() {
    FixedNodes& n = m_nodes;
    n.root = InsertNode(kNoItem, "Umbrastead", ICON_ROOT, PAGE_ROOT);
    n.view = InsertNode(n.root, "View", ICON_VIEW, PAGE_VIEW);
    n.warningList = InsertNode(n.view, "Warning list", ICON_WARNING_LIST, PAGE_WARNING_LIST);
    n.authentic = InsertNode(n.view, "Authentic", ICON_AUTHENTIC_LIST, PAGE_AUTHENTIC_LIST);
    n.quarantine = InsertNode(n.view, "Quarantine", ICON_QUARANTINE, PAGE_QUARANTINE);
    n.processes = InsertNode(n.root, "Processes", ICON_PROCESSES, PAGE_PROCESSES);
    n.configure = InsertNode(n.root, "Configure", ICON_CONFIGURE, PAGE_CONFIGURE);
    n.standard = InsertNode(n.configure, "Standard", ICON_STANDARD, PAGE_STANDARD);
    n.information = InsertNode(n.root, "Infomation", ICON_INFORMATION, PAGE_INFORMATION);
    n.about = InsertNode(n.information, "About", ICON_ABOUT, PAGE_ABOUT);
    m_history.Reset(kNoItem);
    m_tree.Expand(n.root);
    m_tree.Expand(n.view);
}

PageTarget CTreeController::PageOf(TreeItem item) {
    TreeItem parent = item == kNoItem ? kNoItem : m_tree.Parent(item);
    TreeItem grandparent = parent == kNoItem ? kNoItem : m_tree.Parent(parent);
    uintptr_t data = item == kNoItem ? 0 : m_tree.ItemData(item);
    if (parent != kNoItem) {
        if (parent == m_nodes.warningList) return {PAGE_WARNING_ITEM, data};
        if (parent == m_nodes.authentic) return {PAGE_AUTHENTIC_ITEM, data};
        if (parent == m_nodes.processes) return {PAGE_PROCESS, data};
        if (grandparent != kNoItem && grandparent == m_nodes.processes) return {PAGE_MODULE, data};
    }
    return {int(data), 0};
}

ModuleRecord* CTreeController::ModuleAt(uint32_t index) const {
    return index < m_tables.modules.size() ? m_tables.modules[index].get() : nullptr;
}

// ---- classification ----

void CTreeController::ApplyClientBits(ModuleRecord& module) {
    if (m_platform.versionInfo) module.flags |= GetProductNameFlag(*m_platform.versionInfo, module.fullPath);
    for (auto& e : authentic) {
        if (!EqualPaths(e->path.c_str(), module.fullPath)) continue;
        module.flags |= MF_AUTHENTIC;
        e->module = &module;
    }
    for (auto& e : quarantine) {
        if (!EqualPaths(e->originalPath.c_str(), module.fullPath)) continue;
        if (e->status == QS_PENDING) {
            module.flags = (module.flags & ~uint32_t(MF_QUARANTINED)) | MF_QUARANTINE_PENDING;
        } else if (e->status == QS_QUAR) {
            module.flags = (module.flags & ~uint32_t(MF_QUARANTINE_PENDING)) | MF_QUARANTINED;
        }
        e->module = &module;
    }
}

void CTreeController::ApplyClientBitsAfter(int r) {
    for (auto& m : m_tables.modules) {
        if (r == 2 || m->status == ST_NEW || m->status >= ST_UPDATED) ApplyClientBits(*m);
    }
}

bool CTreeController::IsTrusted(const ModuleRecord& module) {
    if (!m_platform.attributes) return false;
    return IsTrustedModulePath(module.fullPath, m_platform.folders, *m_platform.attributes);
}

// ---- tree refresh ----

bool CTreeController::TrustedAt(size_t pos) {
    if (m_trusted[pos] < 0) m_trusted[pos] = IsTrusted(*m_tables.modules[pos]) ? 1 : 0;
    return m_trusted[pos] == 1;
}

void CTreeController::PrepareNameRanks() {
    if (m_nameRank.size() == m_tables.modules.size()) return;
    size_t n = m_tables.modules.size();
    std::vector<uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    const auto& mods = m_tables.modules;
    std::sort(order.begin(), order.end(),
              [&](uint32_t a, uint32_t b) { return CompareModules(*mods[a], *mods[b], 0) < 0; });
    m_nameRank.assign(n, 0);
    uint32_t rank = 0;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && CompareModules(*mods[order[i - 1]], *mods[order[i]], 0) != 0) ++rank;
        m_nameRank[order[i]] = rank;
    }
}

void CTreeController::AddModuleItems(TreeItem processItem, const ProcessRecord& process) {
    // Inserted already in the module comparator's key-0 order, which is what
    // sorting the children afterwards would give, without a string compare
    // per pair: names are ranked once per refresh. An index outside the
    // module table is skipped.
    PrepareNameRanks();
    uint32_t count = std::min<uint32_t>(process.moduleCount, kMaxModulesPerProcess);
    // Rank above, entry order (9 bits) below: equal names keep their order.
    // Ranks stay below the table size, far below 2^23.
    std::vector<uint32_t>& order = m_scratch;
    order.clear();
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t pos = process.moduleIndex[i];
        if (pos < m_tables.modules.size()) order.push_back((m_nameRank[pos] << 9) | i);
    }
    std::sort(order.begin(), order.end());
    for (uint32_t key : order) {
        uint32_t pos = process.moduleIndex[key & 0x1FF];
        ModuleRecord& m = *m_tables.modules[pos];
        InsertNode(processItem, m.baseName, LevelIcon(m.flags, TrustedAt(pos)), reinterpret_cast<uintptr_t>(&m));
    }
}

void CTreeController::SortWarnings() {
    m_tree.SortChildren(m_nodes.warningList, [](uintptr_t a, uintptr_t b) {
        return CompareModules(*reinterpret_cast<const ModuleRecord*>(a), *reinterpret_cast<const ModuleRecord*>(b), 0);
    });
}

void CTreeController::SortAuthentic() {
    m_tree.SortChildren(m_nodes.authentic, [](uintptr_t a, uintptr_t b) {
        return CompareEntries(*reinterpret_cast<const AuthenticEntry*>(a), *reinterpret_cast<const AuthenticEntry*>(b),
                              0);
    });
}

void CTreeController::SortProcesses() {
    int key = 0;
    if (m_settings.TreeSort == 1) key = 4;
    else if (m_settings.TreeSort == 2) key = 8;
    const CClientTables& tables = m_tables;
    m_tree.SortChildren(m_nodes.processes, [key, &tables](uintptr_t a, uintptr_t b) {
        return CompareProcesses(*reinterpret_cast<const ProcessRecord*>(a), *reinterpret_cast<const ProcessRecord*>(b),
                                key, tables);
    });
}

TreeItem CTreeController::InsertProcessItem(size_t position) {
    ProcessRecord& p = *m_tables.processes[position];
    uint32_t state = 0;
    if (p.status == ST_NEW || p.status == ST_NEW_SHOWN) state = TREE_BOLD;
    else if (p.status == ST_FINISHED_SHOWN) state = TREE_BOLD | TREE_CUT;

    const ModuleRecord* main = p.moduleCount ? ModuleAt(p.moduleIndex[0]) : nullptr;
    return m_tree.InsertItem(m_nodes.processes, main ? main->baseName : "", ProcessImage(p),
                             reinterpret_cast<uintptr_t>(&p), state);
}

int CTreeController::ProcessImage(const ProcessRecord& p) {
    const ModuleRecord* main = p.moduleCount ? ModuleAt(p.moduleIndex[0]) : nullptr;
    int image = -1;
    if (main && m_platform.systemIcons) image = m_platform.systemIcons->SmallIconIndex(main->fullPath);
    if (image < 0) return m_images.Of(ICON_NO_PROCESS_ICON);
    if (m_platform.windows2000 && image >= m_images.Of(ICON_CLEAN_MODULE)) {
        // Windows 2000 reports indexes that count the client's icon block as
        // if it were part of the system list; skip over it.
        image += m_images.Of(ICON_NO_PROCESS_ICON) - m_images.Of(ICON_CLEAN_MODULE) + 1;
    }
    return image;
}

void CTreeController::RefreshTree(int r) {
    const bool snapshot = r == 2;
    m_trusted.assign(m_tables.modules.size(), -1);
    m_nameRank.clear();

    if (snapshot) {
        DeleteChildren(m_tree, m_nodes.warningList);
        DeleteChildren(m_tree, m_nodes.processes);
    }

    // Warning items of the new and re-inspected modules.
    bool inserted = false;
    for (size_t pos = 0; pos < m_tables.modules.size(); ++pos) {
        ModuleRecord& m = *m_tables.modules[pos];
        if (!snapshot && !(m.status == ST_NEW || m.status >= ST_UPDATED)) continue;
        if (m.flags == 0 || m.flags >= MF_AUTHENTIC || TrustedAt(pos)) continue;
        int icon = m_images.Of(LevelIcon(m.flags, false));
        // After a snapshot "Warning list" is empty, and each record is in
        // the table once: no item to look for.
        TreeItem item = snapshot ? kNoItem : FindChildByData(m_tree, m_nodes.warningList, reinterpret_cast<uintptr_t>(&m));
        if (item != kNoItem) {
            m_tree.SetImage(item, icon);
        } else {
            m_tree.InsertItem(m_nodes.warningList, m.baseName, icon, reinterpret_cast<uintptr_t>(&m), 0);
            inserted = true;
        }
    }
    if (inserted) SortWarnings();

    // Stale warning items: trusted, authentic, quarantined or clean now.
    for (TreeItem item = m_tree.FirstChild(m_nodes.warningList); item != kNoItem;) {
        TreeItem next = m_tree.NextSibling(item);
        const ModuleRecord& m = *reinterpret_cast<const ModuleRecord*>(m_tree.ItemData(item));
        if (m.flags == 0 || m.flags >= MF_AUTHENTIC || IsTrusted(m)) m_tree.DeleteItem(item);
        item = next;
    }

    if (HasChildren(m_tree, m_nodes.warningList)) m_frame.StartAlert();
    else m_frame.StopAlert();

    // The process subtree.
    bool changed = false;
    for (size_t k = 0; k < m_tables.processes.size(); ++k) {
        ProcessRecord& p = *m_tables.processes[k];
        const uintptr_t data = reinterpret_cast<uintptr_t>(&p);
        TreeItem item = kNoItem;
        if (snapshot || p.status == ST_NEW || p.status == ST_NEW_FINISHED) {
            item = InsertProcessItem(k);
            AddModuleItems(item, p);
            changed = true;
        } else if (p.status >= ST_UPDATED) {
            item = FindChildByData(m_tree, m_nodes.processes, data);
            if (item != kNoItem) {
                DeleteChildren(m_tree, item);
            } else {
                // Every record gets its item when it first arrives; should
                // one be missing, it gets one now rather than losing its
                // modules to the tree's top level.
                item = InsertProcessItem(k);
            }
            AddModuleItems(item, p);
            changed = true;
        }
        if (IsEnded(p.status)) {
            if (item == kNoItem) item = FindChildByData(m_tree, m_nodes.processes, data);
            if (item != kNoItem) m_tree.SetState(item, TREE_BOLD | TREE_CUT);
            changed = true;
        }
    }
    if (changed) SortProcesses();
    m_trusted.clear();
    m_nameRank.clear();
}

// ---- selection ----

bool CTreeController::SelectAndRemember(TreeItem item, uintptr_t value) {
    if (item == kNoItem) return false;
    m_history.SetFirstValue(value);
    return m_tree.SelectItem(item);
}

bool CTreeController::SelectProcessItem(const ProcessRecord* process) {
    uintptr_t data = reinterpret_cast<uintptr_t>(process);
    return SelectAndRemember(FindChildByData(m_tree, m_nodes.processes, data), data);
}

bool CTreeController::SelectWarningItem(const ModuleRecord* module) {
    uintptr_t data = reinterpret_cast<uintptr_t>(module);
    return SelectAndRemember(FindChildByData(m_tree, m_nodes.warningList, data), data);
}

bool CTreeController::SelectAuthenticItem(const AuthenticEntry* entry) {
    uintptr_t data = reinterpret_cast<uintptr_t>(entry);
    return SelectAndRemember(FindChildByData(m_tree, m_nodes.authentic, data), data);
}

bool CTreeController::SelectModuleItem(const ProcessRecord* process, int position) {
    if (!process || position < 0 || uint32_t(position) >= std::min<uint32_t>(process->moduleCount, kMaxModulesPerProcess))
        return false;
    TreeItem processItem = FindChildByData(m_tree, m_nodes.processes, reinterpret_cast<uintptr_t>(process));
    const ModuleRecord* module = ModuleAt(process->moduleIndex[position]);
    if (processItem == kNoItem || !module) return false;
    return SelectAndRemember(FindChildByData(m_tree, processItem, reinterpret_cast<uintptr_t>(module)),
                             uintptr_t(position));
}

void CTreeController::PurgeEndedProcesses(IRecordRows* rows) {
    auto ended = [](uintptr_t data) {
        return data && reinterpret_cast<const ProcessRecord*>(data)->status == ST_FINISHED_SHOWN;
    };
    for (TreeItem item = m_tree.FirstChild(m_nodes.processes); item != kNoItem;) {
        TreeItem next = m_tree.NextSibling(item);
        if (ended(m_tree.ItemData(item))) m_tree.DeleteItem(item);
        item = next;
    }
    if (rows) {
        for (int row = rows->RowCount() - 1; row >= 0; --row)
            if (ended(rows->RowData(row))) rows->DeleteRow(row);
    }
    auto& procs = m_tables.processes;
    procs.erase(std::remove_if(procs.begin(), procs.end(),
                               [](const std::unique_ptr<ProcessRecord>& p) { return p->status == ST_FINISHED_SHOWN; }),
                procs.end());
}

// ---- archive and lists ----

bool CTreeController::LoadArchive() {
    if (!m_platform.archive) return false;
    std::vector<uint8_t> bytes;
    FileError error = m_platform.archive->ReadAll(&bytes);
    if (error != FileError::None) {
        // What the file holds is not known: the next save keeps it beside.
        m_archiveIncomplete = true;
        m_prompt.FileError(FileErrorText(error, m_platform.archive->Path()));
        return false;
    }
    if (DecodeArchive(bytes, &authentic, &quarantine, m_platform.wideToAnsi) == ArchiveLoad::PastEnd) {
        m_archiveIncomplete = true;
        m_prompt.FileError(FileErrorText(FileError::EndOfFile, kUnnamedFile));
        return false;
    }
    return true;
}

bool CTreeController::SaveArchive() {
    if (!m_platform.archive) return false;
    // After a read that did not get everything, the lists in memory may lack
    // entries the file holds: its bytes are kept before it is replaced, and
    // while that fails it is not replaced.
    FileError error = m_archiveIncomplete ? m_platform.archive->KeepPrevious() : FileError::None;
    if (error == FileError::None) m_archiveIncomplete = false;
    if (error == FileError::None) error = m_platform.archive->ReplaceAll(EncodeArchive(authentic, quarantine));
    if (error != FileError::None) {
        m_prompt.FileError(FileErrorText(error, m_platform.archive->Path()));
        return false;
    }
    return true;
}

void CTreeController::ReloadLists() {
    Operation busy(*this);
    authentic.clear();
    quarantine.clear();
    DeleteChildren(m_tree, m_nodes.quarantine);
    DeleteChildren(m_tree, m_nodes.authentic);
    LoadArchive();

    for (auto& e : authentic)
        InsertNode(m_nodes.authentic, e->name.c_str(), ICON_AUTHENTIC, reinterpret_cast<uintptr_t>(e.get()));
    SortAuthentic();

    for (auto& e : quarantine) {
        if (!CanActOn(*e)) continue;  // kept and shown, no file touched
        if (e->status == QS_QUAR) {
            // Saved with the next change of the lists.
            if (m_platform.files && !m_platform.files->Exists(QuarantineFolder() + e->backupName))
                e->status = QS_UNKNOWN;
        } else if (e->status == QS_PENDING && m_platform.files) {
            // Only the renamed copy the first attempt left is moved, never a
            // file found at the original path: the entry may be forged.
            int32_t outcome =
                MoveRenamedIntoQuarantine(*m_platform.files, QuarantineFolder(), e->originalPath, e->backupName);
            if (outcome == MOVE_DENIED) continue;
            e->time = m_platform.files->Now();
            e->module = nullptr;
            e->status = outcome;
            SaveArchive();
        }
    }
}

bool CTreeController::RemoveWarningItem(const ModuleRecord* module) {
    TreeItem item = FindChildByData(m_tree, m_nodes.warningList, reinterpret_cast<uintptr_t>(module));
    if (item == kNoItem) return false;
    m_tree.DeleteItem(item);
    if (!HasChildren(m_tree, m_nodes.warningList)) m_frame.StopAlert();
    return true;
}

void CTreeController::PutBackWarning(ModuleRecord* module, int icon) {
    // A module has at most one item under "Warning list"; should it still
    // have one, only its icon changes.
    const uintptr_t data = reinterpret_cast<uintptr_t>(module);
    if (TreeItem item = FindChildByData(m_tree, m_nodes.warningList, data)) {
        m_tree.SetImage(item, m_images.Of(icon));
        return;
    }
    InsertNode(m_nodes.warningList, module->baseName, icon, data);
    SortWarnings();
}

int CTreeController::QuarantineModule(ModuleRecord* module) {
    Operation busy(*this);
    if (!module || !m_platform.files) return 0;
    QuarantineEntry* entry = nullptr;
    for (auto& e : quarantine) {
        if (e->status == QS_PENDING && CanActOn(*e) && EqualPaths(e->originalPath.c_str(), module->fullPath)) {
            entry = e.get();
            break;
        }
    }
    std::string name;
    if (entry) {
        name = entry->backupName;
    } else if (!ChooseBackupName(module->baseName, quarantine, &name)) {
        m_prompt.Message(kNoFreeBackupName);
        return 0;
    }
    // An entry the client could not act on later would leave the file
    // where it cannot be recovered.
    if (!IsPlainBackupName(name) || !IsLocalAbsolutePath(module->fullPath)) {
        m_prompt.Message(kAccessDenied);
        return 0;
    }

    int32_t outcome = MoveIntoQuarantine(*m_platform.files, QuarantineFolder(), module->fullPath, name);
    if (outcome == MOVE_DENIED) {
        m_prompt.Message(kAccessDenied);
        return 0;
    }

    TreeItem item = FindChildByData(m_tree, m_nodes.warningList, reinterpret_cast<uintptr_t>(module));
    if (item != kNoItem) {
        if (outcome == MOVE_DONE || outcome == MOVE_NOTHING) {
            module->flags = (module->flags & ~uint32_t(MF_QUARANTINE_PENDING)) | MF_QUARANTINED;
            RemoveWarningItem(module);
        } else {
            module->flags = (module->flags & ~uint32_t(MF_QUARANTINED)) | MF_QUARANTINE_PENDING;
            m_tree.SetImage(item, m_images.Of(ICON_LEVEL_PENDING));
        }
    }

    if (!entry) {
        quarantine.push_back(std::make_unique<QuarantineEntry>());
        entry = quarantine.back().get();
        entry->backupName = name;
        entry->originalPath = module->fullPath;
    }
    entry->time = m_platform.files->Now();
    entry->module = module;
    entry->status = outcome;
    SaveArchive();
    return 1;
}

int CTreeController::CleanEntry(QuarantineEntry* entry) {
    Operation busy(*this);
    if (!entry) return 1;
    if (entry->status != QS_QUAR) {
        m_prompt.Message(kCleanRefused);
        return 1;
    }
    if (!CanActOn(*entry)) {
        m_prompt.Message(kAccessDenied);
        return 1;
    }
    if (!m_prompt.AskYesNo(Format(kCleanQuestion, entry->backupName))) return 1;
    if (m_platform.files) m_platform.files->Remove(QuarantineFolder() + entry->backupName);
    if (entry->module) entry->module->flags &= ~uint32_t(MF_QUARANTINED);
    entry->status = QS_CLEANED;
    SaveArchive();
    return 1;
}

int CTreeController::RecoverEntry(QuarantineEntry* entry) {
    Operation busy(*this);
    if (!entry) return 1;
    if (entry->status != QS_PENDING && entry->status != QS_QUAR) {
        m_prompt.Message(kRecoverRefused);
        return 1;
    }
    if (!CanActOn(*entry)) {
        m_prompt.Message(kAccessDenied);
        return 1;
    }
    if (!m_prompt.AskYesNo(Format(kRecoverQuestion, entry->backupName))) return 1;
    if (!m_platform.files) return 1;
    if (m_platform.files->Exists(entry->originalPath) &&
        !m_prompt.AskYesNo(Format(kReplaceQuestion, entry->originalPath)))
        return 1;
    const bool wasPending = entry->status == QS_PENDING;
    std::string source = wasPending ? RenamedCopyPath(entry->originalPath, entry->backupName)
                                    : QuarantineFolder() + entry->backupName;
    if (!m_platform.files->MoveOver(source, entry->originalPath)) return 1;

    if (ModuleRecord* module = entry->module) {
        module->flags &= ~uint32_t(MF_QUARANTINED | MF_QUARANTINE_PENDING);
        int icon = FlagsIcon(module->flags);
        if (wasPending) {
            TreeItem item = FindChildByData(m_tree, m_nodes.warningList, reinterpret_cast<uintptr_t>(module));
            if (item != kNoItem) {
                if (icon == 0) RemoveWarningItem(module);
                else m_tree.SetImage(item, m_images.Of(icon));
            }
        } else if (icon != 0) {
            PutBackWarning(module, icon);
        }
    }
    entry->status = QS_RECOVERED;
    SaveArchive();
    return 1;
}

bool CTreeController::CleanHistory() {
    Operation busy(*this);
    if (!m_prompt.AskYesNo(kCleanHistoryQuestion)) return false;
    quarantine.erase(std::remove_if(quarantine.begin(), quarantine.end(),
                                    [](const std::unique_ptr<QuarantineEntry>& e) { return uint32_t(e->status) > 1; }),
                     quarantine.end());
    SaveArchive();
    return true;
}

int CTreeController::AuthenticateModule(ModuleRecord* module) {
    Operation busy(*this);
    if (!module) return 0;
    module->flags |= MF_AUTHENTIC;
    RemoveWarningItem(module);
    for (auto& e : authentic)
        if (EqualPaths(e->path.c_str(), module->fullPath)) return 0;

    auto entry = std::make_unique<AuthenticEntry>();
    entry->module = module;
    entry->time = m_platform.files ? m_platform.files->Now() : FileTime{0, 0};
    entry->name = module->baseName;
    entry->path = module->fullPath;
    AuthenticEntry* raw = entry.get();
    authentic.push_back(std::move(entry));
    InsertNode(m_nodes.authentic, raw->name.c_str(), ICON_AUTHENTIC, reinterpret_cast<uintptr_t>(raw));
    SortAuthentic();
    SaveArchive();
    return 1;
}

int CTreeController::RemoveAuthentic(AuthenticEntry* entry) {
    Operation busy(*this);
    auto it = std::find_if(authentic.begin(), authentic.end(),
                           [entry](const std::unique_ptr<AuthenticEntry>& e) { return e.get() == entry; });
    if (!entry || it == authentic.end()) return 0;
    TreeItem item = FindChildByData(m_tree, m_nodes.authentic, reinterpret_cast<uintptr_t>(entry));
    if (item != kNoItem) m_tree.DeleteItem(item);
    if (ModuleRecord* module = entry->module) {
        module->flags &= ~uint32_t(MF_AUTHENTIC);
        if (module->flags != 0) PutBackWarning(module, FlagsIcon(module->flags));
    }
    authentic.erase(it);
    SaveArchive();
    return 1;
}

}  // namespace ub
