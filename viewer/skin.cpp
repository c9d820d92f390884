#include "viewer/skin.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>

#include "core/raii.h"
#include "forms/twips.h"

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

BITMAPINFOHEADER PictureHeader()
{
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = kWidth;
    info.biHeight = kHeight;  // positive: bottom-up
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(kRowBytes) * kHeight;
    return info;
}

}  // namespace

SIZE PictureSize(int dpi) { return {ScaledPixels(kWidth, dpi), ScaledPixels(kHeight, dpi)}; }

namespace {

// How much of destination pixel `to` source pixel `from` covers, in 96ths of the destination
// pixel: source pixels are `dpi` units wide, destination pixels 96, on one axis.
int Coverage(int from, int to, int dpi)
{
    const int overlap = std::min((from + 1) * dpi, (to + 1) * kLayoutDpi) - std::max(from * dpi, to * kLayoutDpi);
    return std::max(overlap, 0);
}

// Where one destination pixel takes its colour from on one axis: up to three source pixels
// from `first` on (a destination pixel spans at most 96/dpi + 1 of them, and the smallest DPI
// scaled to is 48), each with its coverage in 96ths.
struct Taps {
    int first;
    int weights[3];
};

Taps TapsFor(int to, int dpi, int sourceSize)
{
    Taps taps{to * kLayoutDpi / dpi, {}};
    for (int tap = 0; tap < 3 && taps.first + tap < sourceSize; ++tap)
        taps.weights[tap] = Coverage(taps.first + tap, to, dpi);
    return taps;
}

// Area averaging: each destination pixel is the mean of the picture under it, weighted by how
// much of it each source pixel covers. Both images are 24-bit bottom-up DIB bits. False when
// there is no memory for the columns' taps.
bool ScaleByArea(const BYTE* source, BYTE* target, SIZE size, int targetStride, int dpi)
{
    std::unique_ptr<Taps[]> columns(new (std::nothrow) Taps[size.cx]);
    if (!columns) return false;
    for (int x = 0; x < size.cx; ++x) columns[x] = TapsFor(x, dpi, kWidth);
    // Most of the picture's rows repeat the one above (the white pane between the frame lines):
    // a destination row whose source rows all repeat the same row as the row before it is a copy.
    short runOf[kHeight];
    for (int row = 0; row < kHeight; ++row) {
        const bool repeats = row > 0 && std::memcmp(source + std::size_t{kRowBytes} * (kHeight - 1 - row),
                                                    source + std::size_t{kRowBytes} * (kHeight - row), kRowBytes) == 0;
        runOf[row] = static_cast<short>(repeats ? runOf[row - 1] : row);
    }
    const std::size_t outBytes = std::size_t{static_cast<unsigned>(targetStride)};
    int previousRun = -1;
    int rowSums[(kWidth + 2) * 3];  // one destination row's vertical blend, in 96ths; two spare pixels
    for (int y = 0; y < size.cy; ++y) {
        const Taps rows = TapsFor(y, dpi, kHeight);
        BYTE* out = target + outBytes * (size.cy - 1 - y);
        int run = runOf[rows.first];
        for (int tap = 1; tap < 3; ++tap) {
            if (rows.weights[tap] && runOf[rows.first + tap] != run) run = -1;
        }
        if (run >= 0 && run == previousRun) {
            std::memcpy(out, out + outBytes, outBytes);  // the row above, stored after this one
            continue;
        }
        previousRun = run;
        std::fill(std::begin(rowSums), std::end(rowSums), 0);
        for (int tap = 0; tap < 3; ++tap) {
            const int weight = rows.weights[tap];
            if (weight == 0) continue;
            const BYTE* row = source + std::size_t{kRowBytes} * (kHeight - 1 - (rows.first + tap));
            for (int i = 0; i < kWidth * 3; ++i) rowSums[i] += weight * row[i];
        }
        for (int x = 0; x < size.cx; ++x) {
            const Taps& taps = columns[x];
            const int* from = rowSums + taps.first * 3;
            for (int channel = 0; channel < 3; ++channel) {
                const int sum = taps.weights[0] * from[channel] + taps.weights[1] * from[3 + channel] +
                                taps.weights[2] * from[6 + channel];
                out[x * 3 + channel] = static_cast<BYTE>((sum + kLayoutDpi * kLayoutDpi / 2) / (kLayoutDpi * kLayoutDpi));
            }
        }
    }
    return true;
}

// The colours of a picture for a DIB's colour table, each once, in the order they are met.
class Palette {
public:
    explicit Palette(RGBQUAD (&colors)[256]) : colors_(colors) {}

    // The index of the colour of a 24-bit pixel, added when new; -1 once the table is full.
    int IndexOf(const BYTE* pixel)
    {
        const auto same = [pixel](const RGBQUAD& color) {
            return color.rgbBlue == pixel[0] && color.rgbGreen == pixel[1] && color.rgbRed == pixel[2];
        };
        if (count_ > 0 && same(colors_[last_])) return last_;  // most pixels continue a run
        for (int i = 0; i < count_; ++i) {
            if (same(colors_[i])) return last_ = i;
        }
        if (count_ == 256) return -1;
        colors_[count_] = {pixel[0], pixel[1], pixel[2], 0};
        return last_ = count_++;
    }
    int Count() const { return count_; }

private:
    RGBQUAD (&colors_)[256];
    int count_ = 0;
    int last_ = 0;
};

struct IndexedHeader {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

// At a whole multiple of 96 dpi area averaging makes each picture pixel a square of pixels of its
// own colour, so the scaled picture has only the picture's few colours (a couple of dozen). It is
// held with a colour table, a byte a pixel: a third of the bytes to write and to keep. Null when
// the picture has more colours than a table holds, or there is no memory.
HBITMAP ScaleIndexed(const BYTE* source, int factor)
{
    const auto sourceRow = [source](int y) { return source + std::size_t{kRowBytes} * (kHeight - 1 - y); };
    bool repeats[kHeight]{};  // the white pane: most rows are the row above again
    IndexedHeader info{};
    Palette palette(info.colors);
    for (int y = 0; y < kHeight; ++y) {
        repeats[y] = y > 0 && std::memcmp(sourceRow(y), sourceRow(y - 1), kRowBytes) == 0;
        for (int x = 0; !repeats[y] && x < kWidth; ++x) {
            if (palette.IndexOf(sourceRow(y) + x * 3) < 0) return nullptr;
        }
    }
    info.header = PictureHeader();
    info.header.biWidth = kWidth * factor;
    info.header.biHeight = kHeight * factor;
    info.header.biBitCount = 8;
    info.header.biSizeImage = 0;
    info.header.biClrUsed = static_cast<DWORD>(palette.Count());
    void* bits = nullptr;
    UniqueBitmap scaled(
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!scaled) return nullptr;
    const std::size_t stride = std::size_t{static_cast<unsigned>(kWidth * factor + 3)} / 4 * 4;
    BYTE* const lastRow = static_cast<BYTE*>(bits) + stride * (kHeight * factor - 1);  // the top one: bottom-up
    for (int y = 0; y < kHeight; ++y) {
        BYTE* top = lastRow - stride * y * factor;  // the first of the rows picture row y becomes
        if (repeats[y]) {
            std::memcpy(top, top + stride, stride);  // the row above, stored after this one
        } else {
            for (int x = 0; x < kWidth; ++x)
                std::memset(top + x * factor, palette.IndexOf(sourceRow(y) + x * 3), factor);
        }
        for (int copy = 1; copy < factor; ++copy) std::memcpy(top - stride * copy, top, stride);
    }
    return scaled.Release();
}

}  // namespace

HBITMAP CreateBitmap(int dpi)
{
    BITMAPINFO info{};
    info.bmiHeader = PictureHeader();
    void* bits = nullptr;
    UniqueBitmap drawn(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!drawn) return nullptr;
    Draw(static_cast<BYTE*>(bits));
    if (dpi == kLayoutDpi || dpi < kLayoutDpi / 2) return drawn.Release();  // below 48 dpi: no smaller picture
    if (dpi % kLayoutDpi == 0) {
        if (HBITMAP indexed = ScaleIndexed(static_cast<const BYTE*>(bits), dpi / kLayoutDpi)) return indexed;
    }
    const SIZE size = PictureSize(dpi);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = size.cy;
    info.bmiHeader.biSizeImage = 0;
    void* scaledBits = nullptr;
    UniqueBitmap scaled(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &scaledBits, nullptr, 0));
    if (!scaled) return nullptr;
    if (!ScaleByArea(static_cast<const BYTE*>(bits), static_cast<BYTE*>(scaledBits), size,
                     (size.cx * 3 + 3) / 4 * 4, dpi))
        return nullptr;
    GdiFlush();  // the section's bits are written behind GDI's back
    return scaled.Release();
}

}  // namespace quillpost::skin
