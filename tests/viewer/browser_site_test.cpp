// The container side of the browser, called as the control calls it.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillpost::testing
