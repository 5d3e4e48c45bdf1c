// The overview pages' portable side: which of their boxes show for the
// page's skip flag and what a click does to it, the one placement list the
// ten pages share, the skip flag of each template, and the system
// information page's operating system text.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "client/controls/PageLayouts.h"
#include "client/shell/ClientSettings.h"

namespace ub {

enum : int {
    kOverviewTitle = 2020,
    kSkipBox = 2021,      // empty look: a click turns skipping on
    kSkipTicked = 2025,   // ticked look: a click turns skipping off
    kSkipCaption = 2029,
    kOverviewLastId = 2032,
};
// Jump choice k (1 to 3): its empty box, ticked box and caption.
constexpr int ChoiceBox(int k) { return kSkipBox + k; }
constexpr int ChoiceTicked(int k) { return kSkipTicked + k; }
constexpr int ChoiceCaption(int k) { return kSkipCaption + k; }

// The skip box and jump choices of one overview page over its skip flag:
// 0 the group starts on its overview, k its page k. Every call returns
// true when the flag must be saved.
//
// A stored value that names none of the page's choices (negative, or
// above its number of choices) makes the group start on its overview, and
// the page shows it so: skipping off, the value left as stored until the
// user changes it. Only the boxes of the page's own choices are ever shown
// or hidden.
class COverviewLook {
public:
    COverviewLook(int choices, int32_t& skip);

    bool Initial();
    // A click on the skip box, in either look.
    bool ToggleSkip();
    // A click on the empty box of choice k; nothing while skipping is off.
    bool Choose(int k);

    bool Shown(int id) const;
    int Choices() const { return m_choices; }

private:
    // The flag when it names a choice of this page, else 0.
    int Current() const;
    void Set(int id, bool shown);
    void SetChoice(int k, bool box, bool ticked, bool caption);

    int m_choices;
    int32_t& m_skip;
    std::array<bool, kOverviewLastId - kOverviewTitle + 1> m_shown;
};

// The overview pages' shared placement: one position in the 91 rectangles
// that every overview page advances, in the order the pages initialise,
// and that is never reset.
class COverviewPlacer {
public:
    // The next rectangle, or null once the list is used up.
    const LayoutRect* Next();
    int Position() const { return m_position; }

private:
    int m_position = 0;
};

// The skip flag of an overview template, or null for another template.
int32_t* OverviewSkipFlag(int templateId, CClientSettings& settings);

// "Microsoft Windows XP " and the like for the version, followed directly
// by the service-pack text.
std::string OsVersionText(uint32_t major, uint32_t minor, const char* servicePack);

}  // namespace ub
