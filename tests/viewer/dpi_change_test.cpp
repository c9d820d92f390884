// A change of DPI as the system drives it (Wine never does: the messages are sent by hand, as
// Windows sends them to a per-monitor window). Asked first for its size at the new DPI
// (WM_GETDPISCALEDSIZE, per-monitor v2), a window answers its table's and then takes the rectangle
// suggested after it as it comes, in one resize. Told only of the change (v1, whose suggestion is
// a linear scaling), it still resizes once, to the size it would have answered.
#include <gtest/gtest.h>

#include "support/windows.h"
#include "viewer/viewer_test.h"

namespace quillpost::testing {
namespace {

constexpr UINT kGetDpiScaledSize = 0x02E4;  // WM_GETDPISCALEDSIZE, left out of Windows 7's headers

struct SizeChanges {
    HWND window = nullptr;
    int count = 0;
    SIZE last{};
};
SizeChanges g_sizes;

LRESULT CALLBACK CountSizeChanges(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->hwnd == g_sizes.window && call->message == WM_WINDOWPOSCHANGED) {
        const auto* place = reinterpret_cast<const WINDOWPOS*>(call->lParam);
        if (!(place->flags & SWP_NOSIZE) && (place->cx != g_sizes.last.cx || place->cy != g_sizes.last.cy)) {
            ++g_sizes.count;
            g_sizes.last = {place->cx, place->cy};
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

SIZE AskedSize(HWND window, int dpi)
{
    SIZE size{};
    EXPECT_TRUE(SendMessageW(window, kGetDpiScaledSize, dpi, reinterpret_cast<LPARAM>(&size))) << "not answered";
    return size;
}

using ViewerDpiChange = ViewerTest;

TEST_F(ViewerDpiChange, TakesTheSuggestedRectangleAfterAnsweringItsSizeInOneResize)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    ASSERT_EQ(S_OK, Call(sample_.Get(), L"Configure", {}).hr);
    struct Change {
        const wchar_t* caption;
        int from, to;
        bool asked;  // WM_GETDPISCALEDSIZE first, as for per-monitor v2
    };
    const Change changes[] = {
        {L"Form1", 96, 192, true}, {L"Form1", 192, 144, false}, {L"About", 96, 192, true}, {L"About", 192, 144, false}};
    for (const Change& change : changes) {
        const std::vector<HWND> found = FindVisibleWindows(change.caption);
        ASSERT_EQ(1u, found.size());
        const HWND window = found[0];
        RECT frame{};
        GetWindowRect(window, &frame);
        SIZE size{MulDiv(frame.right - frame.left, change.to, change.from),
                  MulDiv(frame.bottom - frame.top, change.to, change.from)};
        if (change.asked) size = AskedSize(window, change.to);
        const RECT suggested{frame.left + 7, frame.top + 5, frame.left + 7 + size.cx, frame.top + 5 + size.cy};
        g_sizes = {window, 0, {frame.right - frame.left, frame.bottom - frame.top}};
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CountSizeChanges, nullptr, GetCurrentThreadId());
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(change.to, change.to), reinterpret_cast<LPARAM>(&suggested));
        UnhookWindowsHookEx(hook);
        const SIZE wanted = AskedSize(window, change.to);
        GetWindowRect(window, &frame);
        const RECT expected{suggested.left, suggested.top, suggested.left + wanted.cx, suggested.top + wanted.cy};
        EXPECT_TRUE(EqualRect(&expected, &frame)) << ::testing::PrintToString(change.caption) << change.to;
        EXPECT_EQ(1, g_sizes.count) << ::testing::PrintToString(change.caption) << change.to;
    }
    // Without a frame, the answer is the layout itself at the new DPI: 575x512 at 96 dpi.
    EXPECT_EQ(MulDiv(kClientWidth, 144, 96), ClientSize(FindVisibleWindows(L"Form1")[0]).cx);
    EXPECT_EQ(MulDiv(kClientHeight, 144, 96), ClientSize(FindVisibleWindows(L"Form1")[0]).cy);
}

}  // namespace
}  // namespace quillpost::testing
