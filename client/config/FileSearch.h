// The search dialog's find-next walk: the module nodes under the tree's
// "Processes" node, process by process, compared by whole base name or
// whole full path with letter case ignored. The position lives as long as
// the object; the tree may change between two presses (the refresh timers
// keep running under the modal dialog), so the position is checked against
// the live tree before it is used and a deleted node is never followed.
// User-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "client/monitor/Tree.h"
#include "client/monitor/TreeController.h"

namespace ub {

extern const char kNoMoreFiles[];

// How the text is upper-cased and a record's name compared with it.
struct SearchRules {
    std::function<std::string(const std::string& text)> upperCase;
    // The name equals the upper-cased text, letter case ignored.
    std::function<bool(const std::string& upperText, const char* name)> sameName;
};

// ASCII upper case and ASCII case folding: the rules of the portable tests.
SearchRules AsciiSearchRules();

// The text without white space at either end.
std::string TrimBlanks(const std::string& text);

enum class SearchResult {
    Blank,   // nothing but white space: nothing happened
    Found,   // a module node was selected
    NoMore,  // "No more files are found." was shown; the next press starts at the top
};

class CFileSearch {
public:
    // processes: the node whose children are the process nodes. The tree,
    // the prompt and the records behind the module nodes must outlive every
    // call; the prompt's boxes belong to the dialog.
    CFileSearch(ITree& tree, TreeItem processes, IPrompt& prompt, SearchRules rules = AsciiSearchRules());

    // One press of the search button with the edit box's text.
    SearchResult FindNext(const std::string& text);

private:
    enum class Stage { Top, At, End };
    // A node as it was seen: its handle and its item data. A handle alone
    // may name a node made after the one seen was deleted.
    struct Seen {
        TreeItem item = kNoItem;
        uintptr_t data = 0;
    };

    bool Matches(TreeItem module);
    // The start of a walk from the kept position, read from the live tree;
    // false when the position's process node is gone.
    bool Resume(TreeItem* process, TreeItem* module);
    // The child of parent that is the node seen, found among the live
    // children so that a deleted one is never touched; kNoItem if none.
    TreeItem LiveChild(TreeItem parent, const Seen& seen);
    void KeepPosition(TreeItem process, TreeItem module);

    ITree& m_tree;
    TreeItem m_processes;
    IPrompt& m_prompt;
    SearchRules m_rules;
    std::string m_lastText;
    Stage m_stage = Stage::Top;
    Seen m_process, m_module;  // m_module.item kNoItem: the process's first module
};

}  // namespace ub
