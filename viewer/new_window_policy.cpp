#include "viewer/new_window_policy.h"

#include <shobjidl.h>

namespace quillpost {
namespace {

// The system's millisecond clock, called through the module's imports on every reading, so that
// a test can give the module a clock of its own there instead of waiting seconds.
ULONGLONG Now() { return GetTickCount64(); }

}  // namespace

bool IsUsersFirstWindow(DWORD flags)
{
    // As plain numbers: the header's operator| on the enumeration is not constexpr.
    constexpr DWORD kUsersFirst = DWORD{NWMF_USERINITED} | DWORD{NWMF_FIRST};
    constexpr DWORD kNever = DWORD{NWMF_UNLOADING} | DWORD{NWMF_HTMLDIALOG} | DWORD{NWMF_SHOWHELP};
    return (flags & kUsersFirst) == kUsersFirst && (flags & kNever) == 0;
}

StartBudget::StartBudget() : since_(Now()) {}

bool StartBudget::Take()
{
    const ULONGLONG now = Now();
    if (now < since_) since_ = now;  // a clock that went back earns nothing
    const ULONGLONG earned = (now - since_) / kRefillMs;
    if (earned >= static_cast<ULONGLONG>(kBurst - left_)) {
        left_ = kBurst;  // full: time passing while full earns nothing more
        since_ = now;
    } else {
        left_ += static_cast<int>(earned);
        since_ += earned * kRefillMs;
    }
    if (left_ == 0) return false;
    --left_;
    return true;
}

}  // namespace quillpost
