// The About window as the user meets it: opened through Configure, looked at and closed from outside.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "about_window.h"
#include "core/addresses.h"
#include "support/com_test.h"
#include "support/platform.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

struct ExpectedControl {
    const wchar_t* className;
    std::wstring caption;
    RECT pixels;  // left, top, right, bottom in the client area: the twips divided by 15
    bool underlined;
};

std::vector<ExpectedControl> ExpectedControls()
{
    return {
        {L"Static", L"Quill Post, by the Quillpost authors", {8, 8, 241, 33}, false},
        {L"Static", L"Made for the Tallowchat forum", {16, 32, 225, 57}, false},
        {L"Static", L"Click here to view the forum thread", {8, 48, 233, 65}, true},
        {L"Static", L"this is only a test mind you :) ", {16, 72, 201, 105}, false},
        {L"Button", L"Ok", {168, 80, 241, 105}, false},
        {L"Static", std::wstring(L"http://") + kAuthorHost + L" - visit my site", {16, 112, 241, 137}, true},
    };
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

LOGFONTW FontOf(HWND control)
{
    LOGFONTW font{};
    auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    EXPECT_NE(nullptr, handle);
    GetObjectW(handle, sizeof(font), &font);
    return font;
}

HRESULT CanUnloadNow()
{
    using Query = HRESULT(WINAPI*)();
    auto query = reinterpret_cast<Query>(GetProcAddress(GetModuleHandleW(L"Quillpost.dll"), "DllCanUnloadNow"));
    return query ? query() : E_UNEXPECTED;
}

// Captions, places and the focus: what must be the same each time the window opens.
std::wstring Describe(HWND about)
{
    std::wstring text = WindowText(about);
    for (HWND control : FindChildWindows(about, nullptr)) {
        const RECT box = RectInParent(control);
        text += L"|" + WindowText(control) + L"@" + std::to_wstring(box.left) + L"," + std::to_wstring(box.top) +
                L"," + std::to_wstring(box.right) + L"," + std::to_wstring(box.bottom);
        if (GetFocus() == control) text += L"*";
    }
    return text;
}

class AboutWindow : public ComTest {};

TEST_F(AboutWindow, IsASizableWindowCaptionedAboutWithTheClientAreaOfTheLayout)
{
    ComPtr<IDispatch> sample = CreateSample();
    HWND about = OpenAbout(sample.Get());
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(L"About", WindowText(about));
    const SIZE client = ClientSize(about);
    EXPECT_EQ(249, client.cx);  // 3735 twips
    EXPECT_EQ(139, client.cy);  // 2085 twips
    const LONG style = GetWindowLongW(about, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_OVERLAPPEDWINDOW), style & WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(nullptr, GetWindow(about, GW_OWNER));
}

TEST_F(AboutWindow, ShowsEachControlWithItsCaptionAndPlace)
{
    ComPtr<IDispatch> sample = CreateSample();
    HWND about = OpenAbout(sample.Get());
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(ExpectedControls().size(), FindChildWindows(about, nullptr).size());
    for (const ExpectedControl& expected : ExpectedControls()) {
        HWND control = ControlWithText(about, expected.caption);
        ASSERT_NE(nullptr, control) << "missing: " << ::testing::PrintToString(expected.caption);
        EXPECT_EQ(expected.className, ClassOf(control));
        const RECT box = RectInParent(control);
        EXPECT_EQ(expected.pixels.left, box.left);
        EXPECT_EQ(expected.pixels.top, box.top);
        EXPECT_EQ(expected.pixels.right, box.right);
        EXPECT_EQ(expected.pixels.bottom, box.bottom);
    }
}

TEST_F(AboutWindow, EveryControlUsesMsSansSerifAndOnlyTheLinksAreUnderlined)
{
    ComPtr<IDispatch> sample = CreateSample();
    HWND about = OpenAbout(sample.Get());
    ASSERT_NE(nullptr, about);
    for (const ExpectedControl& expected : ExpectedControls()) {
        HWND control = ControlWithText(about, expected.caption);
        ASSERT_NE(nullptr, control);
        const LOGFONTW font = FontOf(control);
        EXPECT_STREQ(L"MS Sans Serif", font.lfFaceName);
        EXPECT_EQ(-11, font.lfHeight);  // 8.25 points at 96 pixels to the inch
        EXPECT_EQ(FW_NORMAL, font.lfWeight);
        EXPECT_EQ(ANSI_CHARSET, font.lfCharSet);
        EXPECT_EQ(expected.underlined, font.lfUnderline != 0);
    }
}

// Only the links among the labels take the focus (after "Ok": about_links_test.cpp).
TEST_F(AboutWindow, OkHasTheFocusAndOnlyTheLinkLabelsAreTabStops)
{
    ComPtr<IDispatch> sample = CreateSample();
    HWND about = OpenAbout(sample.Get());
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(ControlWithText(about, L"Ok"), GetFocus());
    for (const ExpectedControl& expected : ExpectedControls()) {
        HWND control = ControlWithText(about, expected.caption);
        ASSERT_NE(nullptr, control);
        const bool link = expected.underlined, button = expected.className == std::wstring(L"Button");
        EXPECT_EQ(link || button, (GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP) != 0);
    }
}

TEST_F(AboutWindow, OkLiesAboveTheLabelItOverlaps)
{
    ComPtr<IDispatch> sample = CreateSample();
    HWND about = OpenAbout(sample.Get());
    ASSERT_NE(nullptr, about);
    POINT overlap{180, 90};  // inside both Label4 and Command1
    EXPECT_EQ(ControlWithText(about, L"Ok"), ChildWindowFromPointEx(about, overlap, CWP_SKIPINVISIBLE));
    POINT label3Middle{120, 56};  // where Label2's box ends over Label3's link text
    EXPECT_EQ(ControlWithText(about, L"Click here to view the forum thread"),
              ChildWindowFromPointEx(about, label3Middle, CWP_SKIPINVISIBLE));
}

TEST_F(AboutWindow, ConfigureTwiceLeavesOneWindow)
{
    ComPtr<IDispatch> sample = CreateSample();
    HWND first = OpenAbout(sample.Get());
    ASSERT_NE(nullptr, first);
    HWND second = OpenAbout(sample.Get());
    EXPECT_EQ(first, second);
    EXPECT_EQ(1u, FindVisibleWindows(L"About").size());
    EXPECT_EQ(first, GetForegroundWindow());
}

TEST_F(AboutWindow, ClosedAndShownAgainItLooksTheSame)
{
    ComPtr<IDispatch> sample = CreateSample();
    HWND about = OpenAbout(sample.Get());
    ASSERT_NE(nullptr, about);
    const std::wstring before = Describe(about);
    SendMessageW(about, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntilAboutIsGone());
    HWND again = OpenAbout(sample.Get());
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(before, Describe(again));
    EXPECT_NE(std::wstring::npos, before.find(L"|Ok@168,80,241,105*"));
}

TEST_F(AboutWindow, ClickingOkClosesIt)
{
    QUILLPOST_UNDER_WINE_ONLY("clicks with the real mouse");
    ComPtr<IDispatch> sample = CreateSample();
    HWND about = OpenAbout(sample.Get());
    ASSERT_NE(nullptr, about);
    ClickAt(ScreenCenter(ControlWithText(about, L"Ok")));
    EXPECT_TRUE(WaitUntilAboutIsGone());
}

TEST_F(AboutWindow, EscapeClosesIt)
{
    QUILLPOST_UNDER_WINE_ONLY("presses keys on the real keyboard");
    ComPtr<IDispatch> sample = CreateSample();
    ASSERT_NE(nullptr, OpenAbout(sample.Get()));
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntilAboutIsGone());
}

TEST_F(AboutWindow, EnterPressesOk)
{
    QUILLPOST_UNDER_WINE_ONLY("presses keys on the real keyboard");
    ComPtr<IDispatch> sample = CreateSample();
    ASSERT_NE(nullptr, OpenAbout(sample.Get()));
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitUntilAboutIsGone());
}

TEST_F(AboutWindow, AnOpenWindowKeepsTheDllLoadedUntilItCloses)
{
    ComPtr<IDispatch> sample = CreateSample();
    HWND about = OpenAbout(sample.Get());
    ASSERT_NE(nullptr, about);
    sample.Reset();
    EXPECT_EQ(S_FALSE, CanUnloadNow());
    SendMessageW(about, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntilAboutIsGone());
    EXPECT_EQ(S_OK, CanUnloadNow());
}

TEST_F(AboutWindow, LinkLabelsShowTheHandCursor)
{
    ComPtr<IDispatch> sample = CreateSample();
    HWND about = OpenAbout(sample.Get());
    ASSERT_NE(nullptr, about);
    const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    for (const ExpectedControl& expected : ExpectedControls()) {
        HWND control = ControlWithText(about, expected.caption);
        ASSERT_NE(nullptr, control);
        SetCursor(nullptr);
        SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(expected.underlined, GetCursor() == hand);  // the underlined labels are the links
    }
}

}  // namespace
}  // namespace quillpost::testing
