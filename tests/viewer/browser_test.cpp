// The real browser control end to end: the forum page is requested exactly when the viewer
// loads, as a small proxy on 127.0.0.1 sees it.
#include <winsock2.h>  // before anything includes windows.h

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/addresses.h"
#include "support/platform.h"
#include "support/windows.h"
#include "viewer/recording_proxy.h"
#include "viewer/viewer_test.h"

namespace quillpost::testing {
namespace {

// Time for a request that should not come; the one that should comes within a second here.
constexpr DWORD kQuietMilliseconds = 2500;
constexpr DWORD kRequestTimeout = 15000;

std::string ForumHost()
{
    std::string host;
    for (const wchar_t* c = kForumHost; *c; ++c) host += static_cast<char>(*c);
    return host;
}

class ViewerBrowser : public ViewerTest {
protected:
    void SetUp() override
    {
        QUILLPOST_UNDER_WINE_ONLY("points the user's Internet proxy setting at a recording proxy");
        ASSERT_NE(0, proxy_.Port());
        setting_ = std::make_unique<ProxySetting>(proxy_.Port());
        ASSERT_TRUE(setting_->Applied());
        ViewerTest::SetUp();
    }

    int Requests() const { return proxy_.CountFor(ForumHost(), "/latest.php"); }
    bool WaitForRequests(int count)
    {
        return PumpUntil([&] { return Requests() >= count; }, kRequestTimeout);
    }
    std::string Seen() const
    {
        std::string seen;
        for (const std::string& target : proxy_.Targets()) seen += target + "\n";
        return seen;
    }

    RecordingProxy proxy_;
    std::unique_ptr<ProxySetting> setting_;
};

TEST_F(ViewerBrowser, ShowingRequestsTheForumPageOnce)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    EXPECT_TRUE(WaitForRequests(1)) << Seen();
    PumpMessages(kQuietMilliseconds);
    EXPECT_EQ(1, Requests()) << Seen();
    EXPECT_EQ(1u, proxy_.Targets().size()) << Seen();
}

TEST_F(ViewerBrowser, ShowingWhileLoadedRequestsNothingMore)
{
    ASSERT_EQ(S_OK, ParseCommand(L"/xquillpost").hr);
    ASSERT_TRUE(WaitForRequests(1)) << Seen();
    ASSERT_EQ(S_OK, ParseCommand(L"/xquillpost").hr);
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    PumpMessages(kQuietMilliseconds);
    EXPECT_EQ(1, Requests()) << Seen();
}

TEST_F(ViewerBrowser, CloseThenShowRequestsThePageAgain)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    ASSERT_TRUE(WaitForRequests(1)) << Seen();
    CloseViewer(Viewer());
    PumpMessages(500);
    EXPECT_EQ(1, Requests()) << Seen();
    ASSERT_EQ(S_OK, ParseCommand(L"/xquillpost").hr);
    EXPECT_TRUE(WaitForRequests(2)) << Seen();
    PumpMessages(kQuietMilliseconds);
    EXPECT_EQ(2, Requests()) << Seen();
    EXPECT_EQ(kLoadedHeading, HeadingText(Viewer()));
}

TEST_F(ViewerBrowser, TheClosedViewerLetsTheModuleUnloadAfterItsRequest)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    ASSERT_TRUE(WaitForRequests(1)) << Seen();
    PumpMessages(500);
    CloseViewer(Viewer());
    sample_.Reset();
    EXPECT_TRUE(PumpUntil([] { return CanUnloadNow() == S_OK; }));
}

}  // namespace
}  // namespace quillpost::testing
