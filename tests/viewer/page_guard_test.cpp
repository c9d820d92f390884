// Where a page's addresses go, and what the site's security manager refuses (page_test.h).
#include <windows.h>
#include <shellapi.h>
#include <urlmon.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "about/explorer_records.h"
#include "support/windows.h"
#include "viewer/page_test.h"

namespace quillpost::testing {
namespace {

constexpr wchar_t kForumPage[] = L"http://forum.example/latest.php";

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
        {"controls, beyond ASCII", L"http://x.example/\u00e9\t\U0001F600", L"http://x.example/%C3%A9%09%F0%9F%98%80",
         true},
        {"a lone surrogate", L"http://x.example/\xD800", L"", true},
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
        {"the control's error page, from a link", L"res://ieframe.dll/dnserror.htm", L"", false},
        {"another library's page", L"res://C:\\evil.dll/page.htm", L"", false},
    };
}

}  // namespace

std::vector<std::wstring> PageTest::Opened(const ExplorerRecords& records, std::size_t count)
{
    records.WaitFor(count);
    PumpMessages(1000);  // nothing more comes
    std::vector<std::wstring> opened;
    for (const LaunchRecord& record : records.Read()) opened.push_back(AddressGiven(record.commandLine));
    std::sort(opened.begin(), opened.end());
    return opened;
}

namespace {

using ViewerPage = PageTest;

TEST_F(ViewerPage, NewWindowsAndDownloadsOpenOnlyWebAddressesOnceEachInTheUsersBrowser)
{
    ExplorerRecords records;
    std::vector<std::wstring> expected;
    for (const PageAddress& row : PageAddresses()) {
        SCOPED_TRACE(row.what);
        Advance(10000);  // a user's click now and then: the page's starts never run out here
        EXPECT_EQ(VARIANT_TRUE, FireNewWindow3(row.address, NWMF_USERINITED | NWMF_FIRST));
        EXPECT_EQ(VARIANT_FALSE, FireFileDownload(true)) << "the page itself must go on loading";
        EXPECT_EQ(row.shownInViewer ? VARIANT_FALSE : VARIANT_TRUE, FireBeforeNavigate(row.address));
        EXPECT_EQ(VARIANT_TRUE, FireFileDownload(false));  // a download from that navigation
        if (!row.opened.empty()) expected.insert(expected.end(), 2, row.opened);
    }
    EXPECT_EQ(VARIANT_TRUE, FireNewWindow2());  // it has no address: it opens nothing
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, Opened(records, expected.size()));

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
    const auto ask = [&](DWORD action) {
        DWORD policy = 0xFEEDFACE;
        const HRESULT answer = security->ProcessUrlAction(kForumPage, action, reinterpret_cast<BYTE*>(&policy),
                                                          sizeof(policy), nullptr, 0, PUAF_DEFAULT, 0);
        return std::make_pair(answer, policy);
    };
    for (DWORD refused : {URLACTION_DOWNLOAD_SIGNED_ACTIVEX, URLACTION_DOWNLOAD_UNSIGNED_ACTIVEX, URLACTION_ACTIVEX_RUN,
                          URLACTION_ACTIVEX_OVERRIDE_OBJECT_SAFETY, URLACTION_ACTIVEX_OVERRIDE_SCRIPT_SAFETY,
                          URLACTION_ACTIVEX_CONFIRM_NOOBJECTSAFETY, URLACTION_ACTIVEX_SCRIPTLET_RUN,
                          URLACTION_SCRIPT_OVERRIDE_SAFETY, URLACTION_SCRIPT_SAFE_ACTIVEX, URLACTION_SCRIPT_JAVA_USE,
                          URLACTION_HTML_JAVA_RUN, URLACTION_BEHAVIOR_RUN, URLACTION_FEATURE_ZONE_ELEVATION}) {
        EXPECT_EQ(std::make_pair(S_FALSE, DWORD{URLPOLICY_DISALLOW}), ask(refused)) << std::hex << refused;
    }
    EXPECT_EQ(std::make_pair(S_FALSE, DWORD{URLPOLICY_JAVA_PROHIBIT}), ask(URLACTION_JAVA_PERMISSIONS));
    // The zone's: scripts, forms, cookies, and what only reads the settings of ActiveX.
    for (DWORD zones : {URLACTION_SCRIPT_RUN, URLACTION_HTML_SUBMIT_FORMS, URLACTION_COOKIES,
                        URLACTION_CROSS_DOMAIN_DATA, URLACTION_ACTIVEX_TREATASUNTRUSTED,
                        URLACTION_FEATURE_MIME_SNIFFING}) {
        EXPECT_EQ(std::make_pair(INET_E_DEFAULT_ACTION, DWORD{0xFEEDFACE}), ask(zones)) << std::hex << zones;
    }
    DWORD zone = 0;
    EXPECT_EQ(INET_E_DEFAULT_ACTION, security->MapUrlToZone(kForumPage, &zone, 0));
}

}  // namespace
}  // namespace quillpost::testing
