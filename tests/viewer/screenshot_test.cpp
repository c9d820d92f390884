// The viewer as it appears on screen: the pixels the skin fixes, read back from the display.
// The pane is left out (the browser draws it), and so is the heading's text.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "support/windows.h"
#include "viewer/viewer_test.h"

namespace quillpost::testing {
namespace {

// The client area of a window as the screen shows it, 0xRRGGBB per pixel.
class Screenshot {
public:
    explicit Screenshot(HWND window) : size_(ClientSize(window)), pixels_(ScreenPixels(window)) {}

    COLORREF At(int x, int y) const { return pixels_[y * size_.cx + x]; }

    // Kept beside the test for a person to look at.
    void Save(const char* path) const
    {
        const int rowBytes = (size_.cx * 3 + 3) / 4 * 4;
        BITMAPFILEHEADER file{0x4D42, DWORD(54 + rowBytes * size_.cy), 0, 0, 54};
        BITMAPINFOHEADER info{sizeof(info), size_.cx, size_.cy, 1, 24, BI_RGB};
        FILE* out = std::fopen(path, "wb");
        if (!out) return;
        std::fwrite(&file, sizeof(file), 1, out);
        std::fwrite(&info, sizeof(info), 1, out);
        std::vector<BYTE> row(rowBytes, 0);
        for (int y = size_.cy - 1; y >= 0; --y) {
            for (int x = 0; x < size_.cx; ++x) {
                row[x * 3] = At(x, y) & 0xFF;
                row[x * 3 + 1] = (At(x, y) >> 8) & 0xFF;
                row[x * 3 + 2] = At(x, y) >> 16;
            }
            std::fwrite(row.data(), 1, row.size(), out);
        }
        std::fclose(out);
    }

private:
    SIZE size_;
    std::vector<COLORREF> pixels_;
};

class ViewerScreenshot : public ViewerTest {
protected:
    void SetUp() override
    {
        ViewerTest::SetUp();
        ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
        HWND viewer = Viewer();
        ASSERT_NE(nullptr, viewer);
        SetWindowPos(viewer, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
        RedrawWindow(viewer, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        PumpMessages(700);
        shot_ = std::make_unique<Screenshot>(viewer);
        shot_->Save("viewer_screenshot.bmp");
    }

    // Counts the pixels of a rectangle (inclusive) that are not `color`.
    int Off(int left, int top, int right, int bottom, COLORREF color) const
    {
        int off = 0;
        for (int x = left; x <= right; ++x)
            for (int y = top; y <= bottom; ++y) off += shot_->At(x, y) != color;
        return off;
    }

    std::unique_ptr<Screenshot> shot_;
};

TEST_F(ViewerScreenshot, FrameAndInnerLines)
{
    EXPECT_EQ(0, Off(1, 5, 1, 503, kFrame));
    EXPECT_EQ(0, Off(567, 5, 567, 503, kFrame));
    EXPECT_EQ(0, Off(4, 2, 564, 2, kFrame));
    EXPECT_EQ(0, Off(1, 503, 567, 503, kFrame));
    EXPECT_EQ(0, Off(3, 28, 3, 501, kInnerLine));
    EXPECT_EQ(0, Off(565, 28, 565, 501, kInnerLine));
    EXPECT_EQ(0, Off(3, 501, 565, 501, kInnerLine));
    EXPECT_EQ(kWhite, shot_->At(1, 2));  // rounded top corners
    EXPECT_EQ(kWhite, shot_->At(567, 2));
}

TEST_F(ViewerScreenshot, TitleStripAroundTheHeading)
{
    // Left of the heading past the title word, and between the heading and the glyphs.
    for (auto [left, right] : {std::pair{60, 103}, std::pair{529, 535}, std::pair{555, 566}}) {
        EXPECT_EQ(0, Off(left, 5, right, 7, kStripTop)) << left;
        EXPECT_EQ(0, Off(left, 18, right, 23, kStripMiddle)) << left;
        EXPECT_EQ(0, Off(left, 26, right, 26, kStripBottom)) << left;
    }
    EXPECT_EQ(0, Off(2, 27, 566, 27, kStripLine));
}

TEST_F(ViewerScreenshot, HeadingShowsTheStripBehindItsText)
{
    // Above and below the text line the label paints exactly the strip it covers.
    EXPECT_EQ(0, Off(104, 8, 528, 8, shot_->At(100, 8)));
    EXPECT_EQ(0, Off(104, 22, 528, 23, kStripMiddle));
    // Right of the text, every row of the label shows the strip's row at the same height.
    for (int y = 8; y <= 24; ++y) EXPECT_EQ(0, Off(480, y, 528, y, shot_->At(100, y))) << y;
    // Its text is drawn, darker than the strip.
    int ink = 0;
    for (int x = 104; x <= 300; ++x)
        for (int y = 9; y <= 21; ++y) ink += (shot_->At(x, y) >> 16) < 0x80;
    EXPECT_GT(ink, 40);
}

// The heading on screen, after the host's loop has run, is what a fresh paint of the label
// shows now: on a newly shown viewer and on an open one whose heading changes.
TEST_F(ViewerScreenshot, HeadingOnScreenShowsTheLastCaptionOnceThePendingPaintsRun)
{
    auto headingPixels = [](const Screenshot& shot) {
        std::vector<COLORREF> pixels;
        for (int y = 8; y <= 24; ++y)
            for (int x = 104; x <= 528; ++x) pixels.push_back(shot.At(x, y));
        return pixels;
    };
    std::vector<COLORREF> previous = headingPixels(*shot_);
    CloseViewer(Viewer());
    for (const wchar_t* email : {L"newly.shown@example.org", L"already.open@example.net"}) {
        ASSERT_EQ(S_OK, Initialize(email).hr) << email;
        HWND viewer = Viewer();
        ASSERT_NE(nullptr, viewer);
        SetWindowPos(viewer, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
        PumpMessages(700);
        const Screenshot pending(viewer);
        RedrawWindow(Heading(viewer), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        PumpMessages(200);
        const Screenshot repainted(viewer);
        EXPECT_EQ(headingPixels(repainted), headingPixels(pending)) << email;
        EXPECT_NE(previous, headingPixels(pending)) << email;  // each caption reads otherwise
        previous = headingPixels(pending);
    }
}

TEST_F(ViewerScreenshot, MinimizeBarAndCloseCross)
{
    EXPECT_EQ(0, Off(536, 17, 541, 18, kGlyph));
    for (int i = 0; i <= 6; ++i) {
        EXPECT_EQ(kGlyph, shot_->At(548 + i, 12 + i)) << i;
        EXPECT_EQ(kGlyph, shot_->At(554 - i, 12 + i)) << i;
    }
    EXPECT_EQ(kStripMiddle, shot_->At(551, 20));  // below the cross
}

TEST_F(ViewerScreenshot, WhiteAroundThePaneAndBeyondThePicture)
{
    EXPECT_EQ(0, Off(4, 28, 7, 500, kWhite));      // left of the pane
    EXPECT_EQ(0, Off(561, 28, 564, 500, kWhite));  // right of it
    EXPECT_EQ(0, Off(4, 28, 564, 31, kWhite));     // above it
    EXPECT_EQ(0, Off(4, 497, 564, 500, kWhite));   // below it
    EXPECT_EQ(0, Off(571, 0, 574, 511, kWhite));   // pic is wider than its picture
    EXPECT_EQ(0, Off(0, 507, 574, 511, kWhite));   // and higher
}

}  // namespace
}  // namespace quillpost::testing
