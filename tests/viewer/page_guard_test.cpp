// The page in its place, told as the control tells it: the stand-in control fires new windows,
// downloads and navigations through the connection point the viewer advised, and asks the site for
// its security manager. What reaches the user's browser is what the stand-in explorer.exe beside
// this program recorded.
#include <exdisp.h>
#include <exdispid.h>
#include <shellapi.h>
#include <urlmon.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "about/explorer_records.h"
#include "support/windows.h"
#include "viewer/stand_in_browser.h"
#include "viewer/viewer_test.h"

namespace quillpost::testing {
namespace {

constexpr wchar_t kForumPage[] = L"http://forum.example/latest.php";

VARIANT Value(VARTYPE type, void* reference)
{
    VARIANT value{};
    V_VT(&value) = type;
    V_BYREF(&value) = reference;
    return value;
}

// Each event fires as the control fires it: arguments last first, Cancel by reference.
VARIANT_BOOL NewWindow3(const std::wstring& address)
{
    Bstr url(address.c_str()), context(kForumPage);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    IDispatch* window = nullptr;
    VARIANT arguments[] = {Value(VT_BSTR, url.Get()), Value(VT_BSTR, context.Get()), Value(VT_I4, nullptr),
                           Value(VT_BOOL | VT_BYREF, &cancel), Value(VT_DISPATCH | VT_BYREF, &window)};
    V_I4(&arguments[2]) = 0x6;  // NWMF_USERINITED | NWMF_FIRST: a click
    EXPECT_TRUE(FireEvent(DISPID_NEWWINDOW3, arguments, 5));
    return cancel;
}

VARIANT_BOOL NewWindow2()
{
    VARIANT_BOOL cancel = VARIANT_FALSE;
    IDispatch* window = nullptr;
    VARIANT arguments[] = {Value(VT_BOOL | VT_BYREF, &cancel), Value(VT_DISPATCH | VT_BYREF, &window)};
    EXPECT_TRUE(FireEvent(DISPID_NEWWINDOW2, arguments, 2));
    return cancel;
}

VARIANT_BOOL BeforeNavigate(const std::wstring& address)
{
    Bstr url(address.c_str());
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT text = Value(VT_BSTR, url.Get()), empty{};
    VARIANT arguments[] = {Value(VT_BOOL | VT_BYREF, &cancel), Value(VT_VARIANT | VT_BYREF, &empty),
                           Value(VT_VARIANT | VT_BYREF, &empty), Value(VT_VARIANT | VT_BYREF, &empty),
                           Value(VT_VARIANT | VT_BYREF, &empty), Value(VT_VARIANT | VT_BYREF, &text),
                           Value(VT_DISPATCH, nullptr)};
    EXPECT_TRUE(FireEvent(DISPID_BEFORENAVIGATE2, arguments, 7));
    return cancel;
}

VARIANT_BOOL FileDownload(bool activeDocument)
{
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT arguments[] = {Value(VT_BOOL | VT_BYREF, &cancel), Value(VT_BOOL, nullptr)};
    V_BOOL(&arguments[1]) = activeDocument ? VARIANT_TRUE : VARIANT_FALSE;
    EXPECT_TRUE(FireEvent(DISPID_FILEDOWNLOAD, arguments, 2));
    return cancel;
}

// The argument the started program got after "Explorer", as its C runtime reads it; the whole
// command line when there is not exactly that one.
std::wstring AddressGiven(const std::wstring& commandLine)
{
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(commandLine.c_str(), &count);
    const bool one = words && count == 2 && std::wstring(words[0]) == L"Explorer";
    const std::wstring address = one ? words[1] : L"not one address: " + commandLine;
    LocalFree(words);
    return address;
}

struct PageAddress {
    const char* what;
    std::wstring address;
    std::wstring opened;  // what the user's browser gets; empty when nothing may start
    bool shownInViewer;
};

std::vector<PageAddress> PageAddresses()
{
    const std::wstring longest = L"https://x.example/" + std::wstring(2083 - 18, L'a');
    return {
        {"http", L"http://forum.example/showthread.php?tid=1", L"http://forum.example/showthread.php?tid=1", true},
        {"https in capitals", L"HTTPS://X.example/a?b=%22&c", L"HTTPS://X.example/a?b=%22&c", true},
        {"quotes, blanks, switches", L"http://x.example/\" /select,C:\\Windows\\notepad.exe \"",
         L"http://x.example/%22%20/select%2CC:%5CWindows%5Cnotepad.exe%20%22", true},
        {"backslash before the closing quote", L"http://x.example/a\\", L"http://x.example/a%5C", true},
        {"controls, beyond ASCII", L"http://x.example/\u00e9\t\U0001F600", L"http://x.example/%C3%A9%09%F0%9F%98%80", true},
        {"2,083 characters", longest, longest, true},
        {"2,084 characters", longest + L"a", L"", true},
        {"10,000 characters", L"http://x.example/" + std::wstring(10000 - 17, L'a'), L"", true},
        {"no host", L"http:///etc", L"", false},
        {"file", L"file:///C:/windows/win.ini", L"", false},
        {"file as Wine reports it", L"C:\\windows\\win.ini", L"", false},
        {"share", L"\\\\server\\share\\run.exe", L"", false},
        {"javascript", L"javascript:alert(1)", L"", true},
        {"mailto", L"mailto:someone@example.com", L"", false},
        {"the control's blank page", L"about:blank", L"", true},
        {"the control's error page", L"res://ieframe.dll/dnserror.htm", L"", true},
        {"another library's page", L"res://C:\\evil.dll/page.htm", L"", false},
    };
}

class ViewerPage : public ViewerTest {
protected:
    void SetUp() override
    {
        g_standIn = {};
        ViewerTest::SetUp();
        ASSERT_EQ(S_OK, standIn_.Register());
        ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
        ASSERT_EQ(1, g_standIn.sinks) << "the viewer does not listen to the control's events";
    }
    void TearDown() override
    {
        CloseProcessWindows();
        standIn_.Revoke();
        ViewerTest::TearDown();
    }

    StandInRegistration standIn_;
};

TEST_F(ViewerPage, NewWindowsAndDownloadsOpenOnlyWebAddressesOnceEachInTheUsersBrowser)
{
    ExplorerRecords records;
    std::vector<std::wstring> expected;
    for (const PageAddress& row : PageAddresses()) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(VARIANT_TRUE, NewWindow3(row.address));
        EXPECT_EQ(VARIANT_FALSE, FileDownload(true)) << "the page itself must go on loading";
        EXPECT_EQ(row.shownInViewer ? VARIANT_FALSE : VARIANT_TRUE, BeforeNavigate(row.address));
        EXPECT_EQ(VARIANT_TRUE, FileDownload(false));  // a download from that navigation
        if (!row.opened.empty()) expected.insert(expected.end(), 2, row.opened);
    }
    EXPECT_EQ(VARIANT_TRUE, NewWindow2());  // no address: nothing to open
    records.WaitFor(expected.size());
    PumpMessages(1000);  // nothing more comes
    std::vector<std::wstring> opened;
    for (const LaunchRecord& record : records.Read()) opened.push_back(AddressGiven(record.commandLine));
    std::sort(expected.begin(), expected.end());
    std::sort(opened.begin(), opened.end());
    EXPECT_EQ(expected, opened);

    CloseViewer(Viewer());
    EXPECT_EQ(0, g_standIn.sinks) << "the closed viewer still listens to the control";
    sample_.Reset();
    EXPECT_TRUE(PumpUntil([] { return CanUnloadNow() == S_OK; }));
}

TEST_F(ViewerPage, TheSecurityManagerRefusesWhatWouldRunInTheMessengerAndLeavesTheRestToTheZone)
{
    Microsoft::WRL::ComPtr<IServiceProvider> services;
    ASSERT_EQ(S_OK, StandInSite().As(&services));
    Microsoft::WRL::ComPtr<IInternetSecurityManager> security;
    ASSERT_EQ(S_OK, services->QueryService(SID_SInternetSecurityManager, IID_PPV_ARGS(&security)));
    constexpr DWORD kUntouched = 0xFEEDFACE;
    const struct {
        DWORD action;
        HRESULT answer;
        DWORD policy;
    } actions[] = {
        {URLACTION_DOWNLOAD_SIGNED_ACTIVEX, S_FALSE, URLPOLICY_DISALLOW},
        {URLACTION_DOWNLOAD_UNSIGNED_ACTIVEX, S_FALSE, URLPOLICY_DISALLOW},
        {URLACTION_ACTIVEX_RUN, S_FALSE, URLPOLICY_DISALLOW},
        {URLACTION_ACTIVEX_OVERRIDE_OBJECT_SAFETY, S_FALSE, URLPOLICY_DISALLOW},
        {URLACTION_ACTIVEX_OVERRIDE_SCRIPT_SAFETY, S_FALSE, URLPOLICY_DISALLOW},
        {URLACTION_ACTIVEX_CONFIRM_NOOBJECTSAFETY, S_FALSE, URLPOLICY_DISALLOW},
        {URLACTION_ACTIVEX_SCRIPTLET_RUN, S_FALSE, URLPOLICY_DISALLOW},
        {URLACTION_SCRIPT_OVERRIDE_SAFETY, S_FALSE, URLPOLICY_DISALLOW},
        {URLACTION_SCRIPT_SAFE_ACTIVEX, S_FALSE, URLPOLICY_DISALLOW},
        {URLACTION_SCRIPT_JAVA_USE, S_FALSE, URLPOLICY_DISALLOW},
        {URLACTION_HTML_JAVA_RUN, S_FALSE, URLPOLICY_DISALLOW},
        {URLACTION_JAVA_PERMISSIONS, S_FALSE, URLPOLICY_JAVA_PROHIBIT},
        {URLACTION_BEHAVIOR_RUN, S_FALSE, URLPOLICY_DISALLOW},
        {URLACTION_FEATURE_ZONE_ELEVATION, S_FALSE, URLPOLICY_DISALLOW},
        // The zone's: scripts, forms, cookies, and what only reads the settings for ActiveX.
        {URLACTION_SCRIPT_RUN, INET_E_DEFAULT_ACTION, kUntouched},
        {URLACTION_HTML_SUBMIT_FORMS, INET_E_DEFAULT_ACTION, kUntouched},
        {URLACTION_COOKIES, INET_E_DEFAULT_ACTION, kUntouched},
        {URLACTION_CROSS_DOMAIN_DATA, INET_E_DEFAULT_ACTION, kUntouched},
        {URLACTION_ACTIVEX_TREATASUNTRUSTED, INET_E_DEFAULT_ACTION, kUntouched},
        {URLACTION_FEATURE_MIME_SNIFFING, INET_E_DEFAULT_ACTION, kUntouched},
    };
    for (const auto& row : actions) {
        DWORD policy = kUntouched;
        EXPECT_EQ(row.answer, security->ProcessUrlAction(kForumPage, row.action, reinterpret_cast<BYTE*>(&policy),
                                                         sizeof(policy), nullptr, 0, PUAF_DEFAULT, 0))
            << std::hex << row.action;
        EXPECT_EQ(row.policy, policy) << std::hex << row.action;
    }
    DWORD zone = 0;
    EXPECT_EQ(INET_E_DEFAULT_ACTION, security->MapUrlToZone(kForumPage, &zone, 0));
}

}  // namespace
}  // namespace quillpost::testing
