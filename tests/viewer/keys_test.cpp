// The page's keys: while the browser pane has the focus, a key goes first to the control's active
// object, once, and nothing of the hook that passes it is left when the viewer has closed and the
// module has unloaded. Wine's browser never makes an object active, so the stand-in of
// stand_in_browser.h takes its place: it does what a control does when it is put in place and
// given the focus, and counts the keys offered to it.
#include <exdisp.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <algorithm>
#include <utility>
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

// Presses a key with the modifiers `combo` names (kWithCtrl...) through the input queue.
void PressCombo(UINT combo)
{
    constexpr std::pair<UINT, WORD> kModifiers[] = {{kWithCtrl, VK_CONTROL}, {kWithShift, VK_SHIFT}, {kWithAlt, VK_MENU}};
    std::vector<WORD> keys;
    for (auto [bit, modifier] : kModifiers) {
        if (combo & bit) keys.push_back(modifier);
    }
    keys.push_back(LOWORD(combo));
    std::vector<INPUT> inputs(2 * keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        inputs[i].type = inputs[inputs.size() - 1 - i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = inputs[inputs.size() - 1 - i].ki.wVk = keys[i];
        inputs[inputs.size() - 1 - i].ki.dwFlags = KEYEVENTF_KEYUP;
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
    const struct {
        const char* name;
        UINT combo;
        bool reaches;
    } rows[] = {
        {"Ctrl+N", 'N' | kWithCtrl, false},   {"Ctrl+O", 'O' | kWithCtrl, false},
        {"Ctrl+L", 'L' | kWithCtrl, false},   {"Ctrl+P", 'P' | kWithCtrl, false},
        {"Ctrl+S", 'S' | kWithCtrl, false},   {"F11", VK_F11, false},
        {"Ctrl+K", 'K' | kWithCtrl, false},   {"Ctrl+T", 'T' | kWithCtrl, false},
        {"Ctrl+E", 'E' | kWithCtrl, false},   {"Ctrl+Shift+P", 'P' | kWithCtrl | kWithShift, false},
        {"F5", VK_F5, true},                  {"Ctrl+C", 'C' | kWithCtrl, true},
        {"Ctrl+A", 'A' | kWithCtrl, true},    {"Ctrl+F", 'F' | kWithCtrl, true},
        {"Page Down", VK_NEXT, true},         {"Alt+Left", VK_LEFT | kWithAlt, true},
        {"Ctrl+Shift+N", 'N' | kWithCtrl | kWithShift, true},  // modifiers count exactly
        {"N, typed", 'N', true},
    };
    for (const auto& row : rows) {
        g_standIn.engineKeys.clear();
        PressCombo(row.combo);
        const auto reached = std::count(g_standIn.engineKeys.begin(), g_standIn.engineKeys.end(), row.combo);
        EXPECT_EQ(row.reaches ? 1 : 0, reached) << row.name;
    }
}

}  // namespace
}  // namespace quillpost::testing
