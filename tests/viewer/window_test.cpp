// The viewer as the host and the user see it: one borderless window of the right size,
// its controls where the layout puts them, and its heading in the right order.
#include <docobj.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "forms/gdi_object.h"
#include "support/windows.h"
#include "viewer/stand_in_browser.h"
#include "viewer/viewer_test.h"

namespace quillpost::testing {
namespace {

using ViewerWindow = ViewerTest;

RECT RectIn(HWND parent, HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void ExpectRect(const RECT& actual, int left, int top, int width, int height)
{
    EXPECT_EQ(left, actual.left);
    EXPECT_EQ(top, actual.top);
    EXPECT_EQ(width, actual.right - actual.left);
    EXPECT_EQ(height, actual.bottom - actual.top);
}

TEST_F(ViewerWindow, InitializeOpensOneBorderlessForm1OfTheLayoutSize)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    HWND viewer = Viewer();
    ASSERT_NE(nullptr, viewer);
    const SIZE client = ClientSize(viewer);
    EXPECT_EQ(kClientWidth, client.cx);
    EXPECT_EQ(kClientHeight, client.cy);
    RECT frame;
    GetWindowRect(viewer, &frame);
    POINT origin{0, 0};
    ClientToScreen(viewer, &origin);
    EXPECT_EQ(frame.left, origin.x);  // no border: the client area starts at the window's corner
    EXPECT_EQ(frame.top, origin.y);
    EXPECT_EQ(kClientWidth, frame.right - frame.left);
    EXPECT_EQ(kClientHeight, frame.bottom - frame.top);
}

TEST_F(ViewerWindow, IsAnUnownedPopupWithoutFrameButWithATaskbarEntry)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    HWND viewer = Viewer();
    ASSERT_NE(nullptr, viewer);
    const LONG style = GetWindowLongW(viewer, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(viewer, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_CHILD));
    EXPECT_FALSE(exStyle & (WS_EX_DLGMODALFRAME | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW));
    EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
    EXPECT_EQ(nullptr, GetWindow(viewer, GW_OWNER));
    EXPECT_EQ(nullptr, GetParent(viewer));
}

TEST_F(ViewerWindow, PicIsTheOnlyChildAndIsClippedByTheWindow)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    HWND viewer = Viewer();
    ASSERT_NE(nullptr, viewer);
    HWND pic = GetWindow(viewer, GW_CHILD);
    ASSERT_NE(nullptr, pic);
    EXPECT_EQ(nullptr, GetWindow(pic, GW_HWNDNEXT));
    EXPECT_EQ(pic, Picture(viewer));
    ExpectRect(RectIn(viewer, pic), 0, 0, 577, 513);  // 8655 x 7695 twips
}

TEST_F(ViewerWindow, BrowserPaneThenHeadingInTabOrderAtTheirPositions)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    HWND viewer = Viewer();
    ASSERT_NE(nullptr, viewer);
    HWND pic = Picture(viewer);
    ASSERT_NE(nullptr, pic);
    HWND pane = GetWindow(pic, GW_CHILD);
    ASSERT_NE(nullptr, pane);
    HWND heading = GetWindow(pane, GW_HWNDNEXT);
    ASSERT_NE(nullptr, heading);
    EXPECT_EQ(nullptr, GetWindow(heading, GW_HWNDNEXT));  // the image areas are windowless
    EXPECT_EQ(Heading(viewer), heading);
    ExpectRect(RectIn(pic, pane), 8, 32, 553, 465);     // 120, 480, 8295 x 6975 twips
    ExpectRect(RectIn(pic, heading), 104, 8, 425, 17);  // 1560, 120, 6375 x 255 twips
    EXPECT_TRUE(IsWindowVisible(pane));
}

TEST_F(ViewerWindow, HeadingUsesTheDefaultFont)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    HWND heading = Heading(Viewer());
    ASSERT_NE(nullptr, heading);
    auto font = reinterpret_cast<HFONT>(SendMessageW(heading, WM_GETFONT, 0, 0));
    ASSERT_NE(nullptr, font);
    LOGFONTW logFont{};
    ASSERT_NE(0, GetObjectW(font, sizeof(logFont), &logFont));
    EXPECT_STREQ(L"MS Sans Serif", logFont.lfFaceName);
    EXPECT_EQ(-11, logFont.lfHeight);  // 8.25 points at 96 dots per inch
    EXPECT_EQ(FW_NORMAL, logFont.lfWeight);
    EXPECT_EQ(0, logFont.lfCharSet);
    EXPECT_FALSE(logFont.lfItalic || logFont.lfUnderline);
}

TEST_F(ViewerWindow, CommandShowsTheLoadedHeading)
{
    ASSERT_EQ(S_OK, ParseCommand(L"/xquillpost").hr);
    HWND viewer = Viewer();
    ASSERT_NE(nullptr, viewer);
    EXPECT_EQ(kLoadedHeading, HeadingText(viewer));
}

TEST_F(ViewerWindow, InitializeOverwritesTheHeadingWithTheUser)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    EXPECT_EQ(std::wstring(L"user@example.com") + kEmailHeadingSuffix, HeadingText(Viewer()));
}

TEST_F(ViewerWindow, RepeatedShowsKeepOneWindowAndTheHeading)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    HWND first = Viewer();
    ASSERT_EQ(S_OK, ParseCommand(L"/XQUILLPOST").hr);
    ASSERT_EQ(S_OK, ParseCommand(L"/xquillpost").hr);
    EXPECT_EQ(first, Viewer());
    EXPECT_EQ(1u, FindTopLevelWindows(L"Form1").size());
    EXPECT_EQ(std::wstring(L"user@example.com") + kEmailHeadingSuffix, HeadingText(first));
    ASSERT_EQ(S_OK, Initialize(L"other@example.com").hr);
    EXPECT_EQ(first, Viewer());
    EXPECT_EQ(std::wstring(L"other@example.com") + kEmailHeadingSuffix, HeadingText(first));
}

TEST_F(ViewerWindow, OpensActiveAndTheCommandBringsItForwardAgain)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    HWND viewer = Viewer();
    ASSERT_NE(nullptr, viewer);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == viewer; }));
    // Another program's window comes in front of it.
    HWND other = CreateWindowExW(0, L"STATIC", L"Other", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(nullptr, other);
    ShowWindow(other, SW_SHOW);
    SetForegroundWindow(other);
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == other; }));
    ASSERT_EQ(S_OK, ParseCommand(L"/xquillpost").hr);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == viewer; }));
    DestroyWindow(other);
}

TEST_F(ViewerWindow, CloseThenShowLoadsAgainWithTheLoadedHeading)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    HWND first = Viewer();
    ASSERT_NE(nullptr, first);
    CloseViewer(first);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(FindTopLevelWindows(L"Form1").empty());
    ASSERT_EQ(S_OK, ParseCommand(L"/xquillpost").hr);
    HWND second = Viewer();
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(kLoadedHeading, HeadingText(second));
}

// Every caption the heading is given, with whether the viewer was visible at that moment.
std::vector<std::pair<std::wstring, bool>> g_headings;

LRESULT CALLBACK RecordHeadings(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    wchar_t className[64] = {};
    GetClassNameW(message->hwnd, className, ARRAYSIZE(className));
    HWND root = GetAncestor(message->hwnd, GA_ROOT);
    if (message->message == WM_SETTEXT && lstrcmpiW(className, L"Static") == 0 && WindowText(root) == L"Form1")
        g_headings.emplace_back(reinterpret_cast<const wchar_t*>(message->lParam), IsWindowVisible(root) != FALSE);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(ViewerWindow, HeadingReadsLoadedTextBeforeShownThenTheUser)
{
    g_headings.clear();
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, RecordHeadings, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, hook);
    const HRESULT hr = Initialize(L"user@example.com").hr;
    UnhookWindowsHookEx(hook);
    ASSERT_EQ(S_OK, hr);
    const std::vector<std::pair<std::wstring, bool>> expected = {
        {kLoadedHeading, false},
        {std::wstring(L"user@example.com") + kEmailHeadingSuffix, true},
    };
    EXPECT_EQ(expected, g_headings);
}

TEST_F(ViewerWindow, UnloadQueryWaitsForTheViewerToClose)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    HWND viewer = Viewer();
    ASSERT_NE(nullptr, viewer);
    sample_.Reset();
    EXPECT_EQ(S_FALSE, CanUnloadNow());
    CloseViewer(viewer);
    // The browser control may let go of our site a little after the window is gone.
    EXPECT_TRUE(PumpUntil([] { return CanUnloadNow() == S_OK; }, 5000));
}

using DpiContextSetter = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
using DpiContextOfWindow = DPI_AWARENESS_CONTEXT(WINAPI*)(HWND);
using DpiContextsEqual = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT);

template <typename Function>
Function User32(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

using AwarenessOfContext = DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT);

TEST_F(ViewerWindow, IsPerMonitorAwareInAnyHostWhichKeepsItsOwnAwareness)
{
    auto setContext = User32<DpiContextSetter>("SetThreadDpiAwarenessContext");
    auto windowContext = User32<DpiContextOfWindow>("GetWindowDpiAwarenessContext");
    auto equal = User32<DpiContextsEqual>("AreDpiAwarenessContextsEqual");
    auto awareness = User32<AwarenessOfContext>("GetAwarenessFromDpiAwarenessContext");
    if (!setContext || !windowContext || !equal || !awareness) GTEST_SKIP() << "no per-thread DPI awareness here";
    // The host is DPI-unaware on this thread, as an old messenger would be.
    DPI_AWARENESS_CONTEXT hostContext = setContext(DPI_AWARENESS_CONTEXT_UNAWARE);
    ASSERT_NE(nullptr, hostContext);
    const HRESULT hr = Initialize(L"user@example.com").hr;
    DPI_AWARENESS_CONTEXT after = setContext(hostContext);
    ASSERT_EQ(S_OK, hr);
    EXPECT_TRUE(equal(DPI_AWARENESS_CONTEXT_UNAWARE, after));  // the host's awareness is untouched
    HWND viewer = Viewer();
    ASSERT_NE(nullptr, viewer);
    EXPECT_EQ(DPI_AWARENESS_PER_MONITOR_AWARE, awareness(windowContext(viewer)));
    EXPECT_EQ(DPI_AWARENESS_PER_MONITOR_AWARE, awareness(windowContext(Heading(viewer))));
}

SIZE ClientSize(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

int FontHeight(HWND control)
{
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
    return font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
}

// A move to a monitor of twice the DPI (Wine never sends it: the message is sent by hand, with the
// rectangle the system would suggest).
TEST_F(ViewerWindow, LaysItselfOutAgainAtTheDpiItIsMovedTo)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    HWND viewer = Viewer();
    ASSERT_NE(nullptr, viewer);
    const SIZE before = ClientSize(viewer);
    const int fontBefore = FontHeight(Heading(viewer));
    RECT frame{};
    GetWindowRect(viewer, &frame);
    RECT suggested{frame.left, frame.top, frame.left + 2 * before.cx, frame.top + 2 * before.cy};
    SendMessageW(viewer, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    const SIZE after = ClientSize(viewer);
    EXPECT_EQ(1150, after.cx);
    EXPECT_EQ(1024, after.cy);
    EXPECT_NEAR(2 * fontBefore, FontHeight(Heading(viewer)), 1);
    HWND pic = GetWindow(viewer, GW_CHILD);
    const auto section = reinterpret_cast<HBITMAP>(SendMessageW(pic, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP held{};
    ASSERT_TRUE(GetObjectW(section, sizeof(held), &held));
    EXPECT_EQ(1142, held.bmWidth);  // the 571x507 picture at twice its size
    EXPECT_EQ(1014, held.bmHeight);
    RECT heading{};
    GetWindowRect(Heading(viewer), &heading);
    MapWindowPoints(nullptr, pic, reinterpret_cast<POINT*>(&heading), 2);
    const RECT expected{208, 16, 1058, 50};  // Label1's twips at 192 dpi
    EXPECT_TRUE(EqualRect(&expected, &heading))
        << heading.left << "," << heading.top << "," << heading.right << "," << heading.bottom;
    // Right of its text the heading, drawn into a bitmap of ours, shows the new skin behind it.
    const SIZE label{heading.right - heading.left, heading.bottom - heading.top};
    const HDC screen = GetDC(nullptr);
    UniqueBitmap canvas(CreateCompatibleBitmap(screen, label.cx, label.cy));
    ReleaseDC(nullptr, screen);
    MemoryDc drawn(nullptr, canvas.Get()), skin(nullptr, section);
    SendMessageW(Heading(viewer), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(drawn.Get()), PRF_CLIENT);
    int wrong = 0;
    for (int y = 0; y < label.cy; ++y) {
        for (int x = 960 - heading.left; x < label.cx; ++x)
            wrong += GetPixel(drawn.Get(), x, y) != GetPixel(skin.Get(), heading.left + x, heading.top + y);
    }
    EXPECT_EQ(0, wrong);
}

// The page follows its window's DPI: zoomed to it once its document is complete (an engine takes
// no zoom before), again at each change, without a reload; and asked for in the window's DPI
// context, not the unaware host's. The stand-in control records what it is told.
TEST_F(ViewerWindow, ItsPageIsZoomedToItsDpiFromTheCompleteDocumentOnWithoutAReload)
{
    auto setContext = User32<DpiContextSetter>("SetThreadDpiAwarenessContext");
    if (!setContext) GTEST_SKIP() << "no per-thread DPI awareness here";
    g_standIn = {};
    StandInRegistration standIn;
    ASSERT_EQ(S_OK, standIn.Register());
    DPI_AWARENESS_CONTEXT hostContext = setContext(DPI_AWARENESS_CONTEXT_UNAWARE);
    const HRESULT hr = Initialize(L"user@example.com").hr;
    setContext(hostContext);
    ASSERT_EQ(S_OK, hr);
    EXPECT_EQ(DPI_AWARENESS_PER_MONITOR_AWARE, g_standIn.navigatedAwareness);
    HWND viewer = Viewer();
    const auto moveTo = [viewer](int dpi) {
        RECT frame{};  // the suggested rectangle is the window's own: only the DPI matters here
        GetWindowRect(viewer, &frame);
        SendMessageW(viewer, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
    };
    moveTo(144);
    EXPECT_EQ(std::vector<int>{}, g_standIn.zooms) << "a zoom told before the page has a document";
    ASSERT_TRUE(FireDocumentComplete());
    EXPECT_EQ(std::vector<int>{150}, g_standIn.zooms);
    moveTo(192);
    moveTo(96);
    EXPECT_EQ((std::vector<int>{150, 200, 100}), g_standIn.zooms);
    EXPECT_EQ(1, g_standIn.navigations);
    CloseViewer(viewer);
}

// The user's own zoom (Ctrl+wheel, which the stand-in's zoom answers as the engine's would) is
// kept relative to the DPI's across each change; the page's zoom is never stored for the user's
// later browser windows.
TEST_F(ViewerWindow, AUsersOwnZoomIsKeptAcrossDpiChangesAndNoZoomIsStored)
{
    g_standIn = {};
    StandInRegistration standIn;
    ASSERT_EQ(S_OK, standIn.Register());
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    HWND viewer = Viewer();
    const auto moveTo = [viewer](int dpi) {
        RECT frame{};
        GetWindowRect(viewer, &frame);
        SendMessageW(viewer, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
    };
    ASSERT_TRUE(FireDocumentComplete());
    moveTo(96);
    ASSERT_EQ(100, g_standIn.zoomNow);
    const struct {
        int usersZoom;  // what the user zoomed the page to before the change; 0: left alone
        int dpi;
        int zoom;       // what the page is zoomed to after it
    } changes[] = {
        {125, 144, 188},  // 125% of 150%
        {0, 96, 125},     {0, 192, 250},  {160, 96, 80},  // 80% of 200%, then of 100%
        {1000, 144, 1000},  // the engine's most, the user's ten times kept
        {0, 96, 1000},    {100, 96, 100},
    };
    for (const auto& change : changes) {
        if (change.usersZoom) g_standIn.zoomNow = change.usersZoom;
        moveTo(change.dpi);
        EXPECT_EQ(change.zoom, g_standIn.zoomNow) << change.usersZoom << "% then " << change.dpi << " dpi";
    }
    for (LONG flags : g_standIn.zoomFlags) EXPECT_EQ(OLECMDIDF_OPTICAL_ZOOM_NOPERSIST, flags);
    CloseViewer(viewer);
}

}  // namespace
}  // namespace quillpost::testing
