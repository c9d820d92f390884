// Showing a loaded About window again: it comes back however the user left it.
#include <gtest/gtest.h>

#include "about_window.h"
#include "support/com_test.h"
#include "support/dispatch.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

class AboutShownAgain : public ComTest {};

TEST_F(AboutShownAgain, ConfigureRestoresAMinimizedWindowAndBringsItForward)
{
    ComPtr<IDispatch> sample = CreateSample();
    HWND about = OpenAbout(sample.Get());
    ASSERT_NE(nullptr, about);
    ShowWindow(about, SW_MINIMIZE);
    ASSERT_TRUE(PumpUntil([&] { return IsIconic(about) != FALSE; }));
    ASSERT_EQ(S_OK, Call(sample.Get(), L"Configure", {}).hr);
    EXPECT_TRUE(PumpUntil([&] { return !IsIconic(about) && GetForegroundWindow() == about; }));
    EXPECT_TRUE(IsWindowVisible(about));
    EXPECT_EQ(249, ClientSize(about).cx);  // restored to its layout, not left as a minimized frame
}

TEST_F(AboutShownAgain, ConfigureShowsAHiddenWindow)
{
    ComPtr<IDispatch> sample = CreateSample();
    HWND about = OpenAbout(sample.Get());
    ASSERT_NE(nullptr, about);
    ShowWindow(about, SW_HIDE);
    ASSERT_EQ(S_OK, Call(sample.Get(), L"Configure", {}).hr);
    EXPECT_TRUE(IsWindowVisible(about));
    EXPECT_EQ(about, OpenAbout(sample.Get()));
}

}  // namespace
}  // namespace quillpost::testing
