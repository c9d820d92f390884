// What a user does with the borderless viewer, by real mouse and keyboard input: drag it by
// its title strip, minimize it with the drawn bar, close it with the drawn cross or Alt+F4.
#include <gtest/gtest.h>

#include "support/platform.h"
#include "support/windows.h"
#include "viewer/viewer_test.h"

namespace quillpost::testing {
namespace {

// Client points on the drawn glyphs of the skin.
constexpr POINT kOnMinimizeBar{538, 17};
constexpr POINT kOnCloseCross{551, 15};

bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

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
    PressAltF4();
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(viewer_); }));
}

}  // namespace
}  // namespace quillpost::testing
