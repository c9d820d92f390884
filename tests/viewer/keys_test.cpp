// The page's keys: while the browser pane has the focus, a key goes first to the control's active
// object, once, and nothing of the hook that passes it is left when the viewer has closed and the
// module has unloaded. Wine's browser never makes an object active, so the stand-in of
// stand_in_browser.h takes its place: it does what a control does when it is put in place and
// given the focus, and counts the keys offered to it.
#include <exdisp.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <algorithm>
#include <vector>

#include "support/platform.h"
#include "support/windows.h"
#include "viewer/stand_in_browser.h"
#include "viewer/viewer_test.h"

namespace quillpost::testing {
namespace {

class ViewerKeys : public ViewerTest {
protected:
    void SetUp() override
    {
        QUILLPOST_UNDER_WINE_ONLY("presses keys on the real keyboard");
        g_standIn = {};
        ViewerTest::SetUp();
        ASSERT_EQ(S_OK, standIn_.Register());
    }
    void TearDown() override
    {
        standIn_.Revoke();
        ViewerTest::TearDown();
    }

    StandInRegistration standIn_;
};

TEST_F(ViewerKeys, TabAndCtrlCInThePageReachItsActiveObjectOnceAndNoHookOutlivesTheViewer)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    HWND viewer = Viewer();
    ASSERT_EQ(1, g_standIn.navigations) << "the stand-in does not stand in for the browser";
    EXPECT_EQ(g_standIn.window, GetFocus()) << "activation does not give the page the focus";
    PressKey(VK_TAB);
    PressWith(VK_CONTROL, 'C');
    PressKey('A');
    EXPECT_EQ(1, g_standIn.tabs);
    EXPECT_EQ(1, g_standIn.copies);
    EXPECT_EQ(2, g_standIn.keysAtWindow);  // Ctrl and A, which the page left alone; not the keys it used
    SetFocus(Picture(viewer));          // the page no longer has the focus: its keys are not offered
    PressKey(VK_TAB);
    EXPECT_EQ(1, g_standIn.tabs);

    CloseViewer(viewer);
    EXPECT_EQ(0, g_standIn.alive) << "the container still holds the control's active object";
    sample_.Reset();
    ASSERT_TRUE(PumpUntil([] { return CanUnloadNow() == S_OK; })) << "the hook still keeps the module";
    EXPECT_TRUE(PumpUntil([] {
        CoFreeUnusedLibrariesEx(0, 0);
        return GetModuleHandleW(L"Quillpost.dll") == nullptr;
    }));
    // A hook left behind would now be called in an unmapped image.
    PostThreadMessageW(GetCurrentThreadId(), WM_KEYDOWN, VK_TAB, 0);
    PumpMessages(100);
    EXPECT_EQ(1, g_standIn.tabs);
}

// Presses `keys` together through the input queue: held in order, released in reverse.
void PressTogether(const std::vector<WORD>& keys)
{
    std::vector<INPUT> inputs(2 * keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        INPUT &down = inputs[i], &up = inputs[inputs.size() - 1 - i];
        down.type = up.type = INPUT_KEYBOARD;
        down.ki.wVk = up.ki.wVk = keys[i];
        up.ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    PumpMessages(60);
}

// What a browser's shortcut would open outside the viewer, a window or the Open box, never
// reaches the engine; what a reader of the page uses does, and so does any key the viewer names
// neither way.
TEST_F(ViewerKeys, OnlyShortcutsThatOpenSomethingOutsideTheViewerAreKeptFromTheEngine)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    ASSERT_EQ(g_standIn.window, GetFocus());
    constexpr WORD kCtrl = VK_CONTROL, kShift = VK_SHIFT;
    const struct {
        std::vector<WORD> keys;  // the key pressed last
        bool reaches;
    } rows[] = {
        {{kCtrl, 'N'}, false}, {{kCtrl, 'O'}, false}, {{kCtrl, 'L'}, false}, {{kCtrl, 'P'}, false},
        {{kCtrl, 'S'}, false}, {{VK_F11}, false}, {{kCtrl, 'K'}, false}, {{kCtrl, 'T'}, false},
        {{kCtrl, 'E'}, false}, {{kCtrl, kShift, 'P'}, false}, {{VK_F5}, true}, {{kCtrl, 'C'}, true},
        {{kCtrl, 'A'}, true}, {{kCtrl, 'F'}, true}, {{VK_NEXT}, true}, {{VK_MENU, VK_LEFT}, true},
        {{kCtrl, kShift, 'N'}, true},  // modifiers count exactly
        {{'N'}, true},
    };
    for (const auto& row : rows) {
        g_standIn.engineKeys.clear();
        PressTogether(row.keys);
        const auto reached = std::count(g_standIn.engineKeys.begin(), g_standIn.engineKeys.end(), row.keys.back());
        EXPECT_EQ(row.reaches ? 1 : 0, reached) << ::testing::PrintToString(row.keys);
    }
}

}  // namespace
}  // namespace quillpost::testing
