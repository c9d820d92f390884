// Opening the About window through the host contract and finding its parts from outside.
#pragma once

#include <windows.h>

#include <string>

namespace quillpost::testing {

// Calls Configure and waits for the one visible "About" window; nullptr when none shows.
HWND OpenAbout(IDispatch* sample);

// The child window of `about` whose text is exactly `caption`; nullptr when there is none.
HWND ControlWithText(HWND about, const std::wstring& caption);

// A child's rectangle in its parent's client coordinates.
RECT RectInParent(HWND control);

// The screen point at the middle of a control.
POINT ScreenCenter(HWND control);

// Waits until no "About" window of this process is left.
bool WaitUntilAboutIsGone();

}  // namespace quillpost::testing
