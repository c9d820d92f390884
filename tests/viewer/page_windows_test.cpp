// Which of a page's new windows, dialogs and error pages get anywhere (page_test.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "viewer/page_test.h"

namespace quillpost::testing {
namespace {

using PageWindows = PageTest;

constexpr DWORD kClick = DWORD{NWMF_USERINITED} | DWORD{NWMF_FIRST};

struct WindowFlags {
    const char* what;
    DWORD flags;
    bool allowed;  // the user's browser opens it; the new-window manager lets it go on
};

const WindowFlags kWindowFlags[] = {
    {"the first window of a click", kClick, true},
    {"a click that asked for it (shift+click)", kClick | NWMF_USERREQUESTED, true},
    {"a script's window on a timer", 0, false},
    {"a second window of one click", NWMF_USERINITED, false},
    {"'first' without a user's action", NWMF_FIRST, false},
    {"a click on a page that unloads", kClick | NWMF_UNLOADING, false},
    {"onunload by itself", NWMF_UNLOADING, false},
    {"an HTML dialog of a click", kClick | NWMF_HTMLDIALOG, false},
    {"a help window of a click", kClick | NWMF_SHOWHELP, false},
    {"a script's dialog", NWMF_HTMLDIALOG, false},
    {"a window from a dialog", kClick | NWMF_FROMDIALOGCHILD, true},
};

TEST_F(PageWindows, OnlyTheFirstWindowOfAUsersActionOpensInTheUsersBrowser)
{
    ExplorerRecords records;
    std::vector<std::wstring> expected;
    for (const WindowFlags& row : kWindowFlags) {
        SCOPED_TRACE(row.what);
        Advance(10000);  // the page's starts never run out here
        const std::wstring address = L"http://x.example/" + std::to_wstring(&row - kWindowFlags);
        EXPECT_EQ(VARIANT_TRUE, FireNewWindow3(address, row.flags)) << "a new window stays out of the viewer";
        if (row.allowed) expected.push_back(address);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, Opened(records, expected.size()));
}

// Dialogs and help windows never reach NewWindow3: the control asks the site's manager first.
TEST_F(PageWindows, TheNewWindowManagerLetsOnlyAUsersFirstWindowGoOn)
{
    Microsoft::WRL::ComPtr<IServiceProvider> services;
    ASSERT_EQ(S_OK, StandInSite().As(&services));
    Microsoft::WRL::ComPtr<INewWindowManager> manager;
    ASSERT_EQ(S_OK, services->QueryService(SID_SNewWindowManager, IID_PPV_ARGS(&manager)));
    for (const WindowFlags& row : kWindowFlags) {
        EXPECT_EQ(row.allowed ? S_OK : S_FALSE,
                  manager->EvaluateNewWindow(L"http://x.example/", nullptr, L"http://forum.example/", nullptr, FALSE,
                                             row.flags, 0))
            << row.what;
    }
}

// New windows and downloads draw on one budget of starts: a burst of three, then one a second.
TEST_F(PageWindows, APageStartsTheUsersBrowserAFewTimesAtOnceThenOnceASecond)
{
    struct Start {
        ULONGLONG after;  // milliseconds since the row before
        bool download;    // a download from a navigation, else a new window of a click
        bool opens;
    };
    const Start starts[] = {
        {0, false, true},     {0, true, true},     {0, false, true},  {0, false, false}, {999, true, false},
        {1, false, true},     {0, false, false},   {1000, true, true}, {60000, false, true}, {0, false, true},
        {0, false, true},     {0, true, false},
    };
    ExplorerRecords records;
    std::vector<std::wstring> expected;
    for (const Start& row : starts) {
        const std::wstring address = L"http://x.example/" + std::to_wstring(&row - starts);
        Advance(row.after);
        if (row.download) {
            ASSERT_EQ(VARIANT_FALSE, FireBeforeNavigate(address));
            EXPECT_EQ(VARIANT_TRUE, FireFileDownload(false));
        } else {
            EXPECT_EQ(VARIANT_TRUE, FireNewWindow3(address, kClick));
        }
        if (row.opens) expected.push_back(address);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, Opened(records, expected.size()));
}

TEST_F(PageWindows, TheControlsErrorPageIsShownOnlyRightAfterAFailedNavigation)
{
    struct ErrorPage {
        const char* what;
        bool failedFirst;        // the control reported a failed navigation (NavigateError)
        const wchar_t* between;  // a navigation in between; nullptr for none
        const wchar_t* address;
        bool shown;
    };
    const ErrorPage rows[] = {
        {"a link to the error page", false, nullptr, L"res://ieframe.dll/dnserror.htm", false},
        {"the error page after a failure", true, nullptr, L"res://ieframe.dll/dnserror.htm", true},
        {"the older control's error page", true, nullptr, L"RES://shdoclc.dll/navcancl.htm#x", true},
        {"another library's page after a failure", true, nullptr, L"res://C:\\evil.dll/page.htm", false},
        {"a file after a failure", true, nullptr, L"file:///C:/windows/win.ini", false},
        {"the error page a navigation later", true, L"http://forum.example/", L"res://ieframe.dll/dnserror.htm", false},
        {"a web page after a failure", true, nullptr, L"http://forum.example/", true},
    };
    for (const ErrorPage& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.failedFirst) {
            EXPECT_EQ(VARIANT_FALSE, FireNavigateError(L"http://forum.example/gone"));
        }
        if (row.between) {
            EXPECT_EQ(VARIANT_FALSE, FireBeforeNavigate(row.between));
        }
        EXPECT_EQ(row.shown ? VARIANT_FALSE : VARIANT_TRUE, FireBeforeNavigate(row.address));
        EXPECT_EQ(VARIANT_TRUE, FireBeforeNavigate(L"res://ieframe.dll/dnserror.htm")) << "allowed twice";
    }
}

}  // namespace
}  // namespace quillpost::testing
