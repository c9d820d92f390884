// The skin picture: its DIB byte layout and the pixels the viewer's look depends on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "forms/gdi_object.h"
#include "viewer/skin.h"
#include "viewer/viewer_test.h"

namespace quillpost::testing {
namespace {

constexpr int kWidth = 571, kHeight = 507, kRowBytes = 1716;

template <typename T>
T Read(const std::vector<BYTE>& bytes, size_t offset)
{
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

// The picture as the skin draws it into a new section, as a DIB image.
const std::vector<BYTE>& Dib()
{
    static const std::vector<BYTE> image = [] {
        HBITMAP section = skin::CreateBitmap();
        std::vector<BYTE> bytes = skin::DibImage(section);
        DeleteObject(section);
        return bytes;
    }();
    return image;
}

// 0xRRGGBB of picture column x, row y counted from the top.
COLORREF Pixel(const std::vector<BYTE>& dib, int x, int y)
{
    const BYTE* pixel = dib.data() + 54 + size_t{kRowBytes} * (kHeight - 1 - y) + x * 3;
    return (COLORREF{pixel[2]} << 16) | (COLORREF{pixel[1]} << 8) | pixel[0];
}

TEST(ViewerSkin, IsA24BitBottomUpDibOf870066Bytes)
{
    const std::vector<BYTE>& dib = Dib();
    ASSERT_EQ(870066u, dib.size());
    EXPECT_EQ('B', dib[0]);
    EXPECT_EQ('M', dib[1]);
    EXPECT_EQ(870066u, Read<DWORD>(dib, 2));
    EXPECT_EQ(54u, Read<DWORD>(dib, 10));           // pixels right after the 54-byte header
    EXPECT_EQ(40u, Read<DWORD>(dib, 14));           // BITMAPINFOHEADER
    EXPECT_EQ(kWidth, Read<LONG>(dib, 18));
    EXPECT_EQ(kHeight, Read<LONG>(dib, 22));        // positive: bottom-up
    EXPECT_EQ(1, Read<WORD>(dib, 26));
    EXPECT_EQ(24, Read<WORD>(dib, 28));
    EXPECT_EQ(DWORD{BI_RGB}, Read<DWORD>(dib, 30));
    EXPECT_EQ(54u + kRowBytes * kHeight, dib.size());
}

TEST(ViewerSkin, RowPaddingIsZero)
{
    const std::vector<BYTE>& dib = Dib();
    for (int row = 0; row < kHeight; ++row)
        for (int pad = kWidth * 3; pad < kRowBytes; ++pad)
            ASSERT_EQ(0, dib[54 + size_t{kRowBytes} * row + pad]) << "row " << row;
}

TEST(ViewerSkin, FrameLinesWithRoundedTopCorners)
{
    const std::vector<BYTE>& dib = Dib();
    for (int y = 5; y <= 503; ++y) {
        ASSERT_EQ(kFrame, Pixel(dib, 1, y)) << y;
        ASSERT_EQ(kFrame, Pixel(dib, 567, y)) << y;
    }
    for (int x = 4; x <= 564; ++x) ASSERT_EQ(kFrame, Pixel(dib, x, 2)) << x;
    for (int x = 1; x <= 567; ++x) ASSERT_EQ(kFrame, Pixel(dib, x, 503)) << x;
    // Rounded: the corner pixels themselves stay white, the bottom corners are square.
    for (int x : {1, 567}) EXPECT_EQ(kWhite, Pixel(dib, x, 2));
    EXPECT_EQ(kWhite, Pixel(dib, 2, 2));
    EXPECT_EQ(kWhite, Pixel(dib, 566, 2));
}

TEST(ViewerSkin, InnerLineAroundTheBody)
{
    const std::vector<BYTE>& dib = Dib();
    for (int y = 28; y <= 501; ++y) {
        ASSERT_EQ(kInnerLine, Pixel(dib, 3, y)) << y;
        ASSERT_EQ(kInnerLine, Pixel(dib, 565, y)) << y;
    }
    for (int x = 3; x <= 565; ++x) ASSERT_EQ(kInnerLine, Pixel(dib, x, 501)) << x;
}

TEST(ViewerSkin, TitleStripGradientAndClosingLine)
{
    const std::vector<BYTE>& dib = Dib();
    for (int x : {2, 104, 300, 528, 566}) {
        for (int y = 5; y <= 7; ++y) EXPECT_EQ(kStripTop, Pixel(dib, x, y)) << x << "," << y;
        for (int y = 18; y <= 23; ++y) EXPECT_EQ(kStripMiddle, Pixel(dib, x, y)) << x << "," << y;
        EXPECT_EQ(kStripBottom, Pixel(dib, x, 26)) << x;
        EXPECT_EQ(kStripLine, Pixel(dib, x, 27)) << x;
    }
    // In between it moves steadily from one colour to the next: red rises to row 18, then falls.
    for (int y = 8; y <= 18; ++y) EXPECT_GT(Pixel(dib, 300, y) >> 16, Pixel(dib, 300, y - 1) >> 16) << y;
    for (int y = 24; y <= 26; ++y) EXPECT_LT(Pixel(dib, 300, y) >> 16, Pixel(dib, 300, y - 1) >> 16) << y;
}

TEST(ViewerSkin, MinimizeBarAndCloseCross)
{
    const std::vector<BYTE>& dib = Dib();
    for (int x = 536; x <= 541; ++x)
        for (int y : {17, 18}) EXPECT_EQ(kGlyph, Pixel(dib, x, y)) << x << "," << y;
    for (int i = 0; i <= 6; ++i) {
        EXPECT_EQ(kGlyph, Pixel(dib, 548 + i, 12 + i)) << i;
        EXPECT_EQ(kGlyph, Pixel(dib, 554 - i, 12 + i)) << i;
    }
    // Nothing else of the glyph colour right of the label.
    int glyphPixels = 0;
    for (int x = 529; x <= 566; ++x)
        for (int y = 3; y <= 26; ++y) glyphPixels += Pixel(dib, x, y) == kGlyph;
    EXPECT_EQ(12 + 13, glyphPixels);  // the bar, and the cross's two diagonals sharing their middle
}

TEST(ViewerSkin, LogoAndTitleWordLeftOfTheHeadingOnly)
{
    const std::vector<BYTE>& dib = Dib();
    int marks = 0;
    for (int x = 4; x < 104; ++x)
        for (int y = 3; y <= 26; ++y) marks += Pixel(dib, x, y) != Pixel(dib, 300, y);
    EXPECT_GT(marks, 60);
    for (int x = 104; x <= 535; ++x)
        for (int y = 3; y <= 26; ++y) ASSERT_EQ(Pixel(dib, 300, y), Pixel(dib, x, y)) << x << "," << y;
}

TEST(ViewerSkin, WhiteEverywhereElse)
{
    const std::vector<BYTE>& dib = Dib();
    auto expectWhite = [&](int left, int top, int right, int bottom) {
        for (int x = left; x <= right; ++x)
            for (int y = top; y <= bottom; ++y) ASSERT_EQ(kWhite, Pixel(dib, x, y)) << x << "," << y;
    };
    expectWhite(4, 28, 564, 500);    // the body under the pane
    expectWhite(2, 28, 2, 502);      // between frame and inner line
    expectWhite(566, 28, 566, 502);
    expectWhite(2, 502, 566, 502);
    expectWhite(0, 0, 0, 506);       // outside the frame
    expectWhite(568, 0, 570, 506);
    expectWhite(0, 0, 570, 1);
    expectWhite(0, 504, 570, 506);
}

TEST(ViewerSkin, ImageOnlyOfAPictureSection)
{
    EXPECT_TRUE(skin::DibImage(nullptr).empty());
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, kHeight - 1, 1, 24, BI_RGB};
    void* bits = nullptr;
    HBITMAP shorter = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, shorter);
    EXPECT_TRUE(skin::DibImage(shorter).empty());
    DeleteObject(shorter);
    HDC screen = GetDC(nullptr);
    HBITMAP deviceBitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);  // no bits of ours
    ReleaseDC(nullptr, screen);
    ASSERT_NE(nullptr, deviceBitmap);
    EXPECT_TRUE(skin::DibImage(deviceBitmap).empty());
    DeleteObject(deviceBitmap);
}

// The skin at `dpi`, read back through GDI as 24-bit rows from the top: 0xRRGGBB a pixel.
std::vector<COLORREF> ScaledPicture(int dpi, int width, int height, WORD* bitCount)
{
    HBITMAP section = skin::CreateBitmap(dpi);
    if (!section) return {};
    DIBSECTION held{};
    GetObjectW(section, sizeof(held), &held);
    *bitCount = held.dsBmih.biBitCount;
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB};  // read top-down
    std::vector<BYTE> rows(size_t{static_cast<unsigned>(rowBytes)} * height);
    const int read = GetDIBits(WindowDc(nullptr).Get(), section, 0, height, rows.data(), &info, DIB_RGB_COLORS);
    DeleteObject(section);
    if (read != height) return {};
    std::vector<COLORREF> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const BYTE* pixel = rows.data() + size_t{static_cast<unsigned>(rowBytes)} * y + x * 3;
            pixels.push_back((COLORREF{pixel[2]} << 16) | (COLORREF{pixel[1]} << 8) | pixel[0]);
        }
    }
    return pixels;
}

// Area averaging at twice and three times 96 dpi makes each picture pixel a square of its own
// colour, and nothing else: read back through GDI, every pixel is the picture's pixel under it.
// With no new colours the section holds a byte a pixel.
TEST(ViewerSkin, AtWholeMultiplesOf96DpiEachPixelBecomesASquareOfItsColour)
{
    for (int factor : {2, 3}) {
        const int width = kWidth * factor, height = kHeight * factor;
        WORD bitCount = 0;
        const std::vector<COLORREF> seen = ScaledPicture(96 * factor, width, height, &bitCount);
        ASSERT_EQ(size_t{static_cast<unsigned>(width * height)}, seen.size()) << factor;
        EXPECT_EQ(8, bitCount) << factor;
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) wrong += seen[y * width + x] != Pixel(Dib(), x / factor, y / factor);
        EXPECT_EQ(0, wrong) << factor;
    }
}

// How much of the pixel `to` of a line scaled to `dpi` the picture's pixel `from` covers.
int Overlap(int from, int to, int dpi)
{
    return std::max(0, std::min((from + 1) * dpi, (to + 1) * 96) - std::max(from * dpi, to * 96));
}

// Whether `seen` is more than half a step from the mean of the picture over the part of pixel
// (x, y) at `dpi` that the picture covers, in any of red, green and blue.
bool OffTheMeanUnder(COLORREF seen, int x, int y, int dpi)
{
    double sums[3] = {}, area = 0;
    for (int row = y * 96 / dpi; row < kHeight && Overlap(row, y, dpi); ++row) {
        for (int column = x * 96 / dpi; column < kWidth && Overlap(column, x, dpi); ++column) {
            const double weight = Overlap(row, y, dpi) * Overlap(column, x, dpi);
            for (int channel = 0; channel < 3; ++channel)
                sums[channel] += weight * (Pixel(Dib(), column, row) >> 8 * channel & 0xFF);
            area += weight;
        }
    }
    for (int channel = 0; channel < 3; ++channel) {
        if (std::abs(double(seen >> 8 * channel & 0xFF) - sums[channel] / area) > 0.5) return true;
    }
    return false;
}

// Between whole multiples every pixel is the mean of the picture under it, to the nearest step,
// the last column and row too, which the picture covers only in part. A line darker or lighter
// than the picture under it (a seam) shows up as a column or row out of place.
TEST(ViewerSkin, AtAnyOtherDpiEachPixelIsTheMeanOfThePictureUnderIt)
{
    for (int dpi : {72, 120, 144, 168}) {
        const SIZE size = skin::PictureSize(dpi);
        WORD bitCount = 0;
        const std::vector<COLORREF> seen = ScaledPicture(dpi, size.cx, size.cy, &bitCount);
        ASSERT_EQ(size_t{static_cast<unsigned>(size.cx * size.cy)}, seen.size()) << dpi;
        std::set<int> columns, rows;  // those with a pixel out of place
        for (int y = 0; y < size.cy; ++y) {
            for (int x = 0; x < size.cx; ++x) {
                if (!OffTheMeanUnder(seen[y * size.cx + x], x, y, dpi)) continue;
                columns.insert(x);
                rows.insert(y);
            }
        }
        EXPECT_TRUE(columns.empty() && rows.empty())  // the message is only built for a failure
            << dpi << " dpi: pixels out of place in " << columns.size() << " of " << size.cx << " columns from "
            << *columns.begin() << " and " << rows.size() << " of " << size.cy << " rows from " << *rows.begin();
    }
}

using ViewerSkinInWindow = ViewerTest;

// The picture the viewer draws is the one section of the skin: what pic answers is the picture,
// byte for byte, and it is the same section every time it is asked.
TEST_F(ViewerSkinInWindow, PicAnswersTheSectionItDrawsWhichIsThePicture)
{
    ASSERT_EQ(S_OK, Initialize(L"user@example.com").hr);
    HWND pic = Picture(Viewer());
    ASSERT_NE(nullptr, pic);
    auto held = reinterpret_cast<HBITMAP>(SendMessageW(pic, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(nullptr, held);
    EXPECT_EQ(held, reinterpret_cast<HBITMAP>(SendMessageW(pic, STM_GETIMAGE, IMAGE_BITMAP, 0)));
    EXPECT_EQ(0, SendMessageW(pic, STM_GETIMAGE, IMAGE_ICON, 0));
    HBITMAP fresh = skin::CreateBitmap();
    ASSERT_NE(nullptr, fresh);
    const std::vector<BYTE> expected = skin::DibImage(fresh);
    DeleteObject(fresh);
    ASSERT_EQ(skin::kDibBytes, expected.size());
    EXPECT_TRUE(skin::DibImage(held) == expected);
}

}  // namespace
}  // namespace quillpost::testing
