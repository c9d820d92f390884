// Which of a page's new windows may leave the viewer, and how often a page may start the user's
// browser at all. A browser opens a pop-up only for the first window of the user's own click or
// key, and never while the page unloads; the viewer keeps that rule for the new windows it sends
// to the user's browser (NewWindow3) and for those the control asks its new-window manager about
// (every HTML dialog and help window among them, which never reach NewWindow3). On top of it a
// page's starts of the user's browser are limited in number: a burst of a few, then one a second.
#pragma once

#include <windows.h>

namespace quillpost {

// True when the flags (NWMF_*) the control gives a new window say it is the first window of a
// user's click or key (NWMF_USERINITED with NWMF_FIRST), and neither a dialog (NWMF_HTMLDIALOG),
// a help window (NWMF_SHOWHELP) nor a window of a page that is unloading (NWMF_UNLOADING).
bool IsUsersFirstWindow(DWORD flags);

// How many times a page may start the user's browser: kBurst at once, then one more for each
// kRefillMs that passes, never more than kBurst in hand. A page that starts it on a timer or in
// a loop gets a few windows, not fifty.
class StartBudget {
public:
    static constexpr int kBurst = 3;
    static constexpr ULONGLONG kRefillMs = 1000;

    StartBudget();

    // True, and one start spent, when one is left now.
    bool Take();

private:
    int left_ = kBurst;
    ULONGLONG since_;  // when the start in hand that is counted last was earned
};

}  // namespace quillpost
