// The skin's drawing: the picture at 96 dpi, pixel by pixel, into a section's bits; other DPIs
// scale it (skin_scaling.cpp).
#include "viewer/skin.h"

#include <cstring>
#include <initializer_list>

#include "core/raii.h"
#include "forms/twips.h"
#include "viewer/skin_scaling.h"

namespace quillpost::skin {
namespace {

struct Rgb {
    BYTE r, g, b;
};

constexpr Rgb kWhite{0xFF, 0xFF, 0xFF};
constexpr Rgb kFrame{0x80, 0x97, 0xCF};
constexpr Rgb kInnerLine{0xCF, 0xD8, 0xEF};
constexpr Rgb kStripTop{0xC0, 0xD0, 0xF0};
constexpr Rgb kStripMiddle{0xFF, 0xF8, 0xFF};
constexpr Rgb kStripBottom{0xCF, 0xD7, 0xE0};
constexpr Rgb kStripLine{0xAF, 0xB8, 0xD0};
constexpr Rgb kGlyph{0x40, 0x60, 0x90};

// Frame and strip geometry, in picture pixels; the right side mirrors the left one.
constexpr int kFrameLeft = 1, kFrameRight = 567, kFrameTop = 2, kFrameBottom = 503;
constexpr int kInnerLeft = 3, kInnerRight = 565, kInnerBottom = 501;
constexpr int kStripLineRow = 27;
constexpr int Mirror(int column) { return kFrameLeft + kFrameRight - column; }

// The section's bits, addressed in picture pixels from the top-left corner.
class Canvas {
public:
    explicit Canvas(BYTE* bits) : bits_(bits) {}

    void Put(int x, int y, Rgb color)
    {
        // Rows are stored bottom-up, each pixel as blue, green, red.
        BYTE* pixel = RowBits(y) + x * 3;
        pixel[0] = color.b;
        pixel[1] = color.g;
        pixel[2] = color.r;
    }
    void Row(int y, int fromX, int toX, Rgb color)
    {
        for (int x = fromX; x <= toX; ++x) Put(x, y, color);
    }
    void Column(int x, int fromY, int toY, Rgb color)
    {
        for (int y = fromY; y <= toY; ++y) Put(x, y, color);
    }

    BYTE* RowBits(int y) { return bits_ + std::size_t{kRowBytes} * (kHeight - 1 - y); }

private:
    BYTE* bits_;
};

// White pixels, and zero in each row's padding.
void FillWhite(Canvas& canvas)
{
    for (int y = 0; y < kHeight; ++y) {
        BYTE* row = canvas.RowBits(y);
        std::memset(row, 0xFF, kWidth * 3);
        std::memset(row + kWidth * 3, 0, kRowBytes - kWidth * 3);
    }
}

// from + (to - from) * step / steps, rounded to the nearest, halves up.
BYTE Mix(BYTE from, BYTE to, int step, int steps)
{
    const int twice = 2 * (to - from) * step + steps;  // 2 * (exact offset + 1/2) * steps
    const int offset = twice >= 0 ? twice / (2 * steps) : -((-twice + 2 * steps - 1) / (2 * steps));  // floor
    return static_cast<BYTE>(from + offset);
}

Rgb Mix(Rgb from, Rgb to, int step, int steps)
{
    return {Mix(from.r, to.r, step, steps), Mix(from.g, to.g, step, steps), Mix(from.b, to.b, step, steps)};
}

// Flat at the top (to row 7) and in the middle (rows 18 to 23), blended in between.
Rgb StripColor(int row)
{
    if (row <= 7) return kStripTop;
    if (row < 18) return Mix(kStripTop, kStripMiddle, row - 7, 11);
    if (row <= 23) return kStripMiddle;
    return Mix(kStripMiddle, kStripBottom, row - 23, 3);
}

// The first column inside the frame on a strip row: the top corners are rounded.
int StripLeft(int row) { return row == 3 ? 4 : row == 4 ? 3 : 2; }

void DrawStrip(Canvas& canvas)
{
    for (int row = kFrameTop + 1; row < kStripLineRow; ++row)
        canvas.Row(row, StripLeft(row), Mirror(StripLeft(row)), StripColor(row));
    canvas.Row(kStripLineRow, kFrameLeft + 1, kFrameRight - 1, kStripLine);
}

void DrawFrame(Canvas& canvas)
{
    canvas.Row(kFrameTop, 4, Mirror(4), kFrame);
    for (int x : {kFrameLeft, kFrameRight}) canvas.Column(x, 5, kFrameBottom, kFrame);
    canvas.Row(kFrameBottom, kFrameLeft, kFrameRight, kFrame);
    for (int x : {2, 3}) {  // the rounded corners: one diagonal step each
        canvas.Put(x, 6 - x, kFrame);
        canvas.Put(Mirror(x), 6 - x, kFrame);
    }
    for (int x : {kInnerLeft, kInnerRight}) canvas.Column(x, kStripLineRow + 1, kInnerBottom, kInnerLine);
    canvas.Row(kInnerBottom, kInnerLeft, kInnerRight, kInnerLine);
}

void DrawWindowGlyphs(Canvas& canvas)
{
    for (int row : {17, 18}) canvas.Row(row, 536, 541, kGlyph);  // minimize bar
    for (int i = 0; i <= 6; ++i) {                                // close cross
        canvas.Put(548 + i, 12 + i, kGlyph);
        canvas.Put(554 - i, 12 + i, kGlyph);
    }
}

// Draws rows of a small bitmap: '#' is ink, anything else leaves the strip showing.
void DrawPattern(Canvas& canvas, int left, int top, std::initializer_list<const char*> rows, Rgb ink)
{
    int y = top;
    for (const char* row : rows) {
        for (int x = 0; row[x]; ++x)
            if (row[x] == '#') canvas.Put(left + x, y, ink);
        ++y;
    }
}

// A rounded badge with a white quill pen slanting across it.
void DrawLogo(Canvas& canvas)
{
    for (int row = 7; row <= 22; ++row) {
        const int inset = (row == 7 || row == 22) ? 2 : (row == 8 || row == 21) ? 1 : 0;
        canvas.Row(row, 8 + inset, 23 - inset, kGlyph);
    }
    DrawPattern(canvas, 10, 9,
                {"..........##", "........####", ".......####.", "......####..", ".....####...", "....####....",
                 "...####.....", "...###......", "..##........", "..#.........", ".#..........", "#..........."},
                kWhite);
}

// The word "Quill" in a 5 by 7 pixel face.
void DrawTitleWord(Canvas& canvas)
{
    DrawPattern(canvas, 28, 11,
                {".###.........#..##..##.", "#...#............#...#.", "#...#.#...#.##...#...#.",
                 "#...#.#...#..#...#...#.", "#.#.#.#...#..#...#...#.", "#..#..#..##..#...#...#.",
                 ".##.#..##.#.###.###.###"},
                kGlyph);
}

void Draw(BYTE* bits)
{
    Canvas canvas(bits);
    FillWhite(canvas);
    DrawStrip(canvas);
    DrawFrame(canvas);
    DrawWindowGlyphs(canvas);
    DrawLogo(canvas);
    DrawTitleWord(canvas);
}

}  // namespace

HBITMAP CreateBitmap(int dpi)
{
    BITMAPINFO info{};
    info.bmiHeader = SectionHeader(kWidth, kHeight, 24);
    void* bits = nullptr;
    UniqueBitmap drawn(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!drawn) return nullptr;
    Draw(static_cast<BYTE*>(bits));
    if (dpi == kLayoutDpi || dpi < kLayoutDpi / 2) return drawn.Release();  // below 48 dpi: no smaller picture
    return ScaledSection(static_cast<const BYTE*>(bits), dpi);
}

}  // namespace quillpost::skin
