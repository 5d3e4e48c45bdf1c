#include "client/config/FileSearch.h"

#include <utility>

#include "common/SharedFormat.h"
#include "common/TextFold.h"

namespace ub {

const char kNoMoreFiles[] = "No more files are found.";

SearchRules AsciiSearchRules() {
    SearchRules rules;
    rules.upperCase = [](const std::string& text) {
        std::string upper = text;
        for (char& c : upper)
            if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        return upper;
    };
    rules.sameName = [](const std::string& upperText, const char* name) {
        return EqualIgnoreCase(upperText.c_str(), name);
    };
    return rules;
}

std::string TrimBlanks(const std::string& text) {
    static const char kBlanks[] = " \t\r\n\v\f";
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

CFileSearch::CFileSearch(ITree& tree, TreeItem processes, IPrompt& prompt, SearchRules rules)
    : m_tree(tree), m_processes(processes), m_prompt(prompt), m_rules(std::move(rules)) {}

SearchResult CFileSearch::FindNext(const std::string& rawText) {
    const std::string trimmed = TrimBlanks(rawText);
    if (trimmed.empty()) return SearchResult::Blank;
    const std::string text = m_rules.upperCase(trimmed);
    if (text != m_lastText) m_stage = Stage::Top;

    TreeItem process = kNoItem, module = kNoItem;
    if (m_stage == Stage::Top || (m_stage == Stage::At && !Resume(&process, &module))) {
        process = m_tree.FirstChild(m_processes);
        module = kNoItem;
    }
    for (; process != kNoItem; process = m_tree.NextSibling(process), module = kNoItem) {
        if (module == kNoItem) module = m_tree.FirstChild(process);
        for (; module != kNoItem; module = m_tree.NextSibling(module)) {
            const auto* record = reinterpret_cast<const ModuleRecord*>(m_tree.ItemData(module));
            if (!record || (!m_rules.sameName(text, record->baseName) && !m_rules.sameName(text, record->fullPath)))
                continue;
            m_lastText = text;
            // Kept before the selection, whose handling runs the pages.
            KeepPosition(process, module);
            m_tree.SelectItem(module);
            return SearchResult::Found;
        }
    }
    m_stage = Stage::Top;
    m_prompt.Message(kNoMoreFiles);
    return SearchResult::NoMore;
}

void CFileSearch::KeepPosition(TreeItem process, TreeItem module) {
    TreeItem nextModule = m_tree.NextSibling(module);
    if (nextModule == kNoItem) {
        process = m_tree.NextSibling(process);
        if (process == kNoItem) {
            m_stage = Stage::End;  // the next press says there is no more
            return;
        }
    }
    m_stage = Stage::At;
    m_process = {process, m_tree.ItemData(process)};
    m_module = {nextModule, nextModule == kNoItem ? 0 : m_tree.ItemData(nextModule)};
}

TreeItem CFileSearch::LiveChild(TreeItem parent, const Seen& seen) {
    for (TreeItem child = m_tree.FirstChild(parent); child != kNoItem; child = m_tree.NextSibling(child))
        if (child == seen.item) return m_tree.ItemData(child) == seen.data ? child : kNoItem;
    return kNoItem;
}

bool CFileSearch::Resume(TreeItem* process, TreeItem* module) {
    // A process node that is gone (a snapshot rebuilt the subtree) says
    // nothing about where its neighbours are now: the caller starts over.
    TreeItem p = LiveChild(m_processes, m_process);
    if (p == kNoItem) return false;
    TreeItem m = kNoItem;
    if (m_module.item != kNoItem) {
        m = LiveChild(p, m_module);
        // A re-inspection made the process's module nodes again: the same
        // module's new node. A module no longer loaded: the process's
        // modules from the first, so that none is skipped.
        if (m == kNoItem) m = FindChildByData(m_tree, p, m_module.data);
    }
    *process = p;
    *module = m;
    return true;
}

}  // namespace ub
