// What a user does with the borderless viewer, by real mouse and keyboard input: drag it by
// its title strip, minimize it with the drawn bar, close it with the drawn cross or Alt+F4, open
// its system menu; and what a screen reader finds of it.
#include <gtest/gtest.h>

#include "support/accessibility.h"
#include "support/dispatch.h"
#include "support/platform.h"
#include "support/windows.h"
#include "viewer/viewer_test.h"

namespace quillpost::testing {
namespace {

// Client points on the drawn glyphs of the skin.
constexpr POINT kOnMinimizeBar{538, 17};
constexpr POINT kOnCloseCross{551, 15};

bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

// What the system menu showed, seen from inside its modal loop through a timer.
struct SystemMenuSeen {
    bool open = false;
    bool moveMinimizeClose = false;
} g_systemMenu;

void CALLBACK LookAtTheSystemMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND popup = FindWindowW(L"#32768", nullptr);
    if (!popup || !IsWindowVisible(popup)) return;
    KillTimer(nullptr, timer);
    const auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    g_systemMenu.open = true;
    g_systemMenu.moveMinimizeClose = menu != nullptr;
    for (UINT command : {SC_MOVE, SC_MINIMIZE, SC_CLOSE})
        g_systemMenu.moveMinimizeClose &= GetMenuState(menu, command, MF_BYCOMMAND) != static_cast<UINT>(-1);
    EndMenu();
}

class ViewerInput : public ViewerTest {
protected:
    void SetUp() override
    {
        QUILLPOST_UNDER_WINE_ONLY("moves the real mouse and presses keys");
        ViewerTest::SetUp();
        ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
        viewer_ = Viewer();
        ASSERT_NE(nullptr, viewer_);
        PumpMessages(200);
    }

    POINT At(POINT client) const { return ScreenPoint(viewer_, client.x, client.y); }
    RECT Frame() const
    {
        RECT frame;
        GetWindowRect(viewer_, &frame);
        return frame;
    }

    HWND viewer_ = nullptr;
};

TEST_F(ViewerInput, ClickOnTheCloseCrossClosesAndUnloads)
{
    ClickAt(At(kOnCloseCross));
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(viewer_); }));
    EXPECT_TRUE(FindTopLevelWindows(L"Form1").empty());
    sample_.Reset();
    EXPECT_TRUE(PumpUntil([] { return CanUnloadNow() == S_OK; }));
}

TEST_F(ViewerInput, ClickOnTheMinimizeBarMinimizesAndTheCommandRestores)
{
    ClickAt(At(kOnMinimizeBar));
    EXPECT_TRUE(PumpUntil([&] { return IsIconic(viewer_) != FALSE; }));
    EXPECT_TRUE(IsWindow(viewer_));
    ASSERT_EQ(S_OK, ParseCommand(L"/xquillpost").hr);
    EXPECT_TRUE(PumpUntil([&] { return !IsIconic(viewer_) && IsWindowVisible(viewer_); }));
    EXPECT_EQ(viewer_, Viewer());
}

TEST_F(ViewerInput, ClickOnTheStripBesideTheGlyphsDoesNothing)
{
    const RECT before = Frame();
    ClickAt(At({532, 15}));  // between the heading and the minimize bar
    ClickAt(At({562, 15}));  // right of the cross
    PumpMessages(200);
    EXPECT_TRUE(IsWindowVisible(viewer_));
    EXPECT_FALSE(IsIconic(viewer_));
    EXPECT_TRUE(SameRect(before, Frame()));
}

TEST_F(ViewerInput, PressOnTheCrossReleasedElsewhereDoesNotClose)
{
    DragWithMouse(At(kOnCloseCross), At({400, 200}));
    PumpMessages(200);
    EXPECT_TRUE(IsWindowVisible(viewer_));
}

TEST_F(ViewerInput, DraggingTheTitleStripMovesTheWindow)
{
    const RECT before = Frame();
    DragWithMouse(At({80, 15}), At({80 + 37, 15 + 23}));
    const RECT after = Frame();
    EXPECT_EQ(before.left + 37, after.left);
    EXPECT_EQ(before.top + 23, after.top);
    EXPECT_EQ(kClientWidth, after.right - after.left);
}

TEST_F(ViewerInput, DraggingOverTheHeadingMovesTheWindowToo)
{
    const RECT before = Frame();
    DragWithMouse(At({300, 15}), At({300 - 41, 15 + 19}));
    const RECT after = Frame();
    EXPECT_EQ(before.left - 41, after.left);
    EXPECT_EQ(before.top + 19, after.top);
}

TEST_F(ViewerInput, DraggingInTheBodyDoesNotMoveTheWindow)
{
    const RECT before = Frame();
    DragWithMouse(At({4, 300}), At({4 + 50, 300 + 50}));  // the white margin left of the pane
    EXPECT_TRUE(SameRect(before, Frame()));
}

TEST_F(ViewerInput, AltF4Closes)
{
    SetForegroundWindow(viewer_);
    PumpMessages(100);
    PressWith(VK_MENU, VK_F4);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(viewer_); }));
}

// Activation puts the focus in the page, and Alt+Space typed there opens the viewer's system menu.
TEST_F(ViewerInput, TheFocusIsInThePageWhereAltSpaceOpensTheSystemMenu)
{
    const std::vector<HWND> panes = FindChildWindows(viewer_, L"Shell Embedding");
    ASSERT_EQ(1u, panes.size());
    const HWND focus = GetFocus();
    EXPECT_TRUE(focus == panes[0] || IsChild(panes[0], focus));
    g_systemMenu = {};
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, LookAtTheSystemMenu);
    PressWith(VK_MENU, VK_SPACE);
    EXPECT_TRUE(PumpUntil([] { return g_systemMenu.open; }));
    KillTimer(nullptr, timer);
    EXPECT_TRUE(g_systemMenu.moveMinimizeClose);
}

// A screen reader's view: the viewer is named by its heading (its caption stays "Form1"), and the
// drawn bar and cross are push buttons where they are drawn, whose default actions minimize and
// close it as a click does.
TEST_F(ViewerInput, AScreenReaderFindsTheHeadingAndTheDrawnButtonsThatMinimizeAndClose)
{
    ComPtr<IAccessible> object = ClientObject(viewer_);
    ASSERT_NE(nullptr, object.Get());
    EXPECT_EQ(HeadingText(viewer_), FactsOf(object.Get()).name);
    EXPECT_EQ(L"Form1", WindowText(viewer_));
    LONG children = 0;
    EXPECT_EQ(S_OK, object->get_accChildCount(&children));
    EXPECT_EQ(3, children);  // the buttons, then the picture area's window with the page and heading
    struct Button {
        const wchar_t* name;
        RECT area;  // the image area over the glyph, in client pixels
        POINT drawn;
    };
    const Button buttons[] = {{L"Minimize", {536, 8, 545, 25}, kOnMinimizeBar}, {L"Close", {544, 8, 561, 25}, kOnCloseCross}};
    for (LONG id = 1; id <= 2; ++id) {
        const Button& button = buttons[id - 1];
        const AccessibleFacts facts = FactsOf(object.Get(), id);
        EXPECT_EQ(button.name, facts.name);
        EXPECT_EQ(ROLE_SYSTEM_PUSHBUTTON, facts.role);
        EXPECT_FALSE(facts.defaultAction.empty());
        const POINT topLeft = At({button.area.left, button.area.top});
        const POINT bottomRight = At({button.area.right, button.area.bottom});
        EXPECT_TRUE(SameRect({topLeft.x, topLeft.y, bottomRight.x, bottomRight.y}, facts.location)) << id;
        Variant hit;
        EXPECT_EQ(S_OK, object->accHitTest(At(button.drawn).x, At(button.drawn).y, hit.Put()));
        EXPECT_EQ(VT_I4, hit.Get().vt);
        EXPECT_EQ(id, hit.Get().lVal);
    }
    EXPECT_EQ(S_OK, object->accDoDefaultAction(ChildId(1)));
    EXPECT_TRUE(PumpUntil([&] { return IsIconic(viewer_) != FALSE; }));
    ASSERT_EQ(S_OK, ParseCommand(L"/xquillpost").hr);
    EXPECT_TRUE(PumpUntil([&] { return !IsIconic(viewer_); }));
    EXPECT_EQ(S_OK, object->accDoDefaultAction(ChildId(2)));
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(viewer_); }));
    EXPECT_TRUE(FactsOf(object.Get(), 2).name.empty()) << "answers for a window that has gone";
    object.Reset();
    sample_.Reset();
    EXPECT_TRUE(PumpUntil([] { return CanUnloadNow() == S_OK; }));
}

}  // namespace
}  // namespace quillpost::testing
