// The container side of the browser, called as the control calls it.
#include <gtest/gtest.h>

#include <initguid.h>  // defines the document host's command group, which no library does

#include "viewer/browser_frame.h"
#include "viewer/browser_site.h"

namespace quillpost::testing {
namespace {

IOleInPlaceFrame* const kGarbageFrame = reinterpret_cast<IOleInPlaceFrame*>(0xDEADBEEF);
IOleInPlaceUIWindow* const kGarbageDocument = reinterpret_cast<IOleInPlaceUIWindow*>(0xDEADBEEF);

class BrowserSiteContext : public ::testing::Test {
protected:
    void SetUp() override
    {
        Microsoft::WRL::ComPtr<BrowserFrame> frame;
        ASSERT_EQ(S_OK, BrowserFrame::Create(GetDesktopWindow(), &frame));
        ASSERT_EQ(S_OK, BrowserSite::Create(GetDesktopWindow(), {8, 32, 561, 497}, frame, &site_));
    }
    Microsoft::WRL::ComPtr<BrowserSite> site_;
};

TEST_F(BrowserSiteContext, AMissingOutputFailsAndClearsEveryOtherOne)
{
    IOleInPlaceFrame* frame = kGarbageFrame;
    IOleInPlaceUIWindow* document = kGarbageDocument;
    RECT position{1, 2, 3, 4}, clip{1, 2, 3, 4};
    EXPECT_EQ(E_POINTER, site_->GetWindowContext(&frame, &document, &position, &clip, nullptr));
    EXPECT_EQ(nullptr, frame);
    EXPECT_EQ(nullptr, document);
    EXPECT_TRUE(IsRectEmpty(&position));
    EXPECT_TRUE(IsRectEmpty(&clip));
}

TEST_F(BrowserSiteContext, GivesTheFrameAndThePanesPlace)
{
    Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame;
    IOleInPlaceUIWindow* document = kGarbageDocument;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO info{};
    ASSERT_EQ(S_OK, site_->GetWindowContext(&frame, &document, &position, &clip, &info));
    EXPECT_NE(nullptr, frame.Get());
    EXPECT_EQ(nullptr, document);
    EXPECT_EQ(32, position.top);
    EXPECT_EQ(561, clip.right);
    EXPECT_EQ(sizeof(info), info.cb);
}

// What the page asks its host, reached as the control reaches it: through QueryInterface.
TEST_F(BrowserSiteContext, KeepsTheControlsProtectionsTellsThePageItIsDpiAwareAndSilencesScriptErrorsOnly)
{
    Microsoft::WRL::ComPtr<IDocHostUIHandler> host;
    ASSERT_EQ(S_OK, site_.As(&host));
    DOCHOSTUIINFO info{sizeof(info)};
    ASSERT_EQ(S_OK, host->GetHostInfo(&info));
    // The flags the host answers replace the control's own: its protections must be among them.
    const struct {
        DWORD flag;
        bool set;
        const char* why;
    } flags[] = {
        {DOCHOSTUIFLAG_DPI_AWARE, true, "pages drawn at the window's DPI"},
        {DOCHOSTUIFLAG_LOCAL_MACHINE_ACCESS_CHECK, true, "Internet pages kept from the machine's files"},
        {DOCHOSTUIFLAG_DISABLE_UNTRUSTEDPROTOCOL, true, "untrusted protocols refused"},
        {DOCHOSTUIFLAG_ENABLE_REDIRECT_NOTIFICATION, true, "a redirect meets the pane's allow-list"},
        {DOCHOSTUIFLAG_THEME, true, "themed form controls"},
        {DOCHOSTUIFLAG_DISABLE_SCRIPT_INACTIVE, true, "no script while the control is inactive"},
        {DOCHOSTUIFLAG_OPENNEWWIN, false, "every link a new window"},
        {DOCHOSTUIFLAG_DIALOG, false, "the page unselectable, as a dialog"},
        {DOCHOSTUIFLAG_NOTHEME, false, "unthemed form controls"},
    };
    for (const auto& row : flags) EXPECT_EQ(row.set, (info.dwFlags & row.flag) != 0) << row.why;

    Microsoft::WRL::ComPtr<IOleCommandTarget> commands;
    ASSERT_EQ(S_OK, site_.As(&commands));
    VARIANT goOn;
    VariantInit(&goOn);
    EXPECT_EQ(S_OK, commands->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &goOn));
    EXPECT_EQ(VT_BOOL, V_VT(&goOn));
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&goOn));
    // Anything else is left to the control's own handling.
    EXPECT_EQ(OLECMDERR_E_NOTSUPPORTED,
              commands->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWMESSAGE, 0, nullptr, nullptr));
    EXPECT_EQ(OLECMDERR_E_UNKNOWNGROUP, commands->Exec(nullptr, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, nullptr));
}

}  // namespace
}  // namespace quillpost::testing
