#include "about_window.h"

#include <gtest/gtest.h>

#include "support/dispatch.h"
#include "support/windows.h"

namespace quillpost::testing {

HWND OpenAbout(IDispatch* sample)
{
    CallResult call = Call(sample, L"Configure", {});
    EXPECT_EQ(S_OK, call.hr);
    EXPECT_EQ(VT_EMPTY, call.value.Get().vt);
    if (!PumpUntil([] { return FindVisibleWindows(L"About").size() == 1; })) return nullptr;
    PumpMessages(100);  // let activation and painting settle
    return FindVisibleWindows(L"About").front();
}

HWND ControlWithText(HWND about, const std::wstring& caption)
{
    for (HWND control : FindChildWindows(about, nullptr)) {
        if (WindowText(control) == caption) return control;
    }
    return nullptr;
}

RECT RectInParent(HWND control)
{
    RECT box{};
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&box), 2);
    return box;
}

POINT ScreenCenter(HWND control)
{
    RECT box{};
    GetWindowRect(control, &box);
    return {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
}

bool WaitUntilAboutIsGone()
{
    return PumpUntil([] { return FindTopLevelWindows(L"About").empty(); });
}

}  // namespace quillpost::testing
