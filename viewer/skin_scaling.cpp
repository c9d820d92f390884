// The skin at another DPI than the one it is drawn at: area averaging into a 24-bit section, or at a
// whole multiple of 96 dpi a byte a pixel with a colour table.
#include "viewer/skin_scaling.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>

#include "core/raii.h"
#include "forms/twips.h"
#include "viewer/skin_picture.h"

namespace quillpost::skin {
namespace {

// Picture row y, counted from the top, of the picture's bottom-up bits.
const BYTE* SourceRow(const BYTE* picture, int y) { return picture + std::size_t{kRowBytes} * (kHeight - 1 - y); }

// How much of destination pixel `to` source pixel `from` covers, in 96ths of the destination
// pixel: source pixels are `dpi` units wide, destination pixels 96, on one axis.
int Coverage(int from, int to, int dpi)
{
    const int overlap = std::min((from + 1) * dpi, (to + 1) * kLayoutDpi) - std::max(from * dpi, to * kLayoutDpi);
    return std::max(overlap, 0);
}

// Where one destination pixel takes its colour from on one axis: up to three source pixels
// from `first` on (a destination pixel spans at most 96/dpi + 1 of them, and the smallest DPI
// scaled to is 48), each with its coverage in 96ths, and how much of the pixel they cover in all:
// 96, or less on the last pixel when the picture ends inside it (its size is rounded up there).
struct Taps {
    int first;
    int weights[3];
    int covered;
};

Taps TapsFor(int to, int dpi, int sourceSize)
{
    Taps taps{to * kLayoutDpi / dpi, {}, 0};
    for (int tap = 0; tap < 3 && taps.first + tap < sourceSize; ++tap) {
        taps.weights[tap] = Coverage(taps.first + tap, to, dpi);
        taps.covered += taps.weights[tap];
    }
    return taps;
}

// For each picture row, the first row of the run of equal rows it belongs to: most of the picture's
// rows repeat the one above (the white pane between the frame lines).
void FindRuns(const BYTE* picture, short (&runOf)[kHeight])
{
    for (int row = 0; row < kHeight; ++row) {
        const bool repeats =
            row > 0 && std::memcmp(SourceRow(picture, row), SourceRow(picture, row - 1), kRowBytes) == 0;
        runOf[row] = static_cast<short>(repeats ? runOf[row - 1] : row);
    }
}

// The run of equal picture rows that destination row `rows` takes all its colour from, or -1.
int RunUnder(const Taps& rows, const short (&runOf)[kHeight])
{
    const int run = runOf[rows.first];
    for (int tap = 1; tap < 3; ++tap) {
        if (rows.weights[tap] && runOf[rows.first + tap] != run) return -1;
    }
    return run;
}

// One destination pixel's colour, from its row's blend of picture rows: the weighted sum of the
// picture under it over `area`, the part of the pixel the picture covers, to the nearest. Only a
// pixel of the last column or row is covered in part; a mean over the whole pixel would mix in
// black that is not in the picture (a dark seam along the edge).
template <int kArea>
void Blend(const int* rowSums, const Taps& taps, int area, BYTE* out)
{
    const int* from = rowSums + taps.first * 3;
    if constexpr (kArea > 0) area = kArea;  // a constant divisor: a multiplication
    for (int channel = 0; channel < 3; ++channel) {
        const int sum = taps.weights[0] * from[channel] + taps.weights[1] * from[3 + channel] +
                        taps.weights[2] * from[6 + channel];
        out[channel] = static_cast<BYTE>((sum + area / 2) / area);
    }
}

// One destination row: the picture's rows under it blended into `rowSums` (in 96ths of the
// pixel's height), then the columns under each pixel.
void ScaleRow(const BYTE* picture, const Taps& rows, const Taps* columns, int width, int (&rowSums)[(kWidth + 2) * 3],
              BYTE* out)
{
    std::fill(std::begin(rowSums), std::end(rowSums), 0);
    for (int tap = 0; tap < 3; ++tap) {
        const int weight = rows.weights[tap];
        if (weight == 0) continue;
        const BYTE* row = SourceRow(picture, rows.first + tap);
        for (int i = 0; i < kWidth * 3; ++i) rowSums[i] += weight * row[i];
    }
    int x = 0;
    if (rows.covered == kLayoutDpi) {
        for (; x < width && columns[x].covered == kLayoutDpi; ++x)
            Blend<kLayoutDpi * kLayoutDpi>(rowSums, columns[x], 0, out + x * 3);
    }
    for (; x < width; ++x) Blend<0>(rowSums, columns[x], rows.covered * columns[x].covered, out + x * 3);
}

// Area averaging: each destination pixel is the mean of the picture under it, weighted by how
// much of it each source pixel covers. Both images are 24-bit bottom-up DIB bits. False when
// there is no memory for the columns' taps.
bool ScaleByArea(const BYTE* picture, BYTE* target, SIZE size, int dpi)
{
    std::unique_ptr<Taps[]> columns(new (std::nothrow) Taps[size.cx]);
    if (!columns) return false;
    for (int x = 0; x < size.cx; ++x) columns[x] = TapsFor(x, dpi, kWidth);
    short runOf[kHeight];
    FindRuns(picture, runOf);
    const std::size_t stride = std::size_t{static_cast<unsigned>(size.cx * 3 + 3)} / 4 * 4;
    int previousRun = -1;
    int rowSums[(kWidth + 2) * 3];  // one destination row's vertical blend; two spare pixels
    for (int y = 0; y < size.cy; ++y) {
        const Taps rows = TapsFor(y, dpi, kHeight);
        BYTE* out = target + stride * (size.cy - 1 - y);
        // A row taken from the same run of equal picture rows as the row before it is the same.
        const int run = RunUnder(rows, runOf);
        if (run >= 0 && run == previousRun) {
            std::memcpy(out, out + stride, stride);  // the row above, stored after this one
            continue;
        }
        previousRun = run;
        ScaleRow(picture, rows, columns.get(), size.cx, rowSums, out);
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
HBITMAP ScaleIndexed(const BYTE* picture, int factor)
{
    bool repeats[kHeight]{};  // the white pane: most rows are the row above again
    IndexedHeader info{};
    Palette palette(info.colors);
    for (int y = 0; y < kHeight; ++y) {
        repeats[y] = y > 0 && std::memcmp(SourceRow(picture, y), SourceRow(picture, y - 1), kRowBytes) == 0;
        for (int x = 0; !repeats[y] && x < kWidth; ++x) {
            if (palette.IndexOf(SourceRow(picture, y) + x * 3) < 0) return nullptr;
        }
    }
    info.header = SectionHeader(kWidth * factor, kHeight * factor, 8);
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
                std::memset(top + x * factor, palette.IndexOf(SourceRow(picture, y) + x * 3), factor);
        }
        for (int copy = 1; copy < factor; ++copy) std::memcpy(top - stride * copy, top, stride);
    }
    return scaled.Release();
}

}  // namespace

BITMAPINFOHEADER SectionHeader(int width, int height, WORD bitCount)
{
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;  // positive: bottom-up
    info.biPlanes = 1;
    info.biBitCount = bitCount;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>((width * bitCount + 31) / 32 * 4) * static_cast<DWORD>(height);
    return info;
}

HBITMAP ScaledSection(const BYTE* picture, int dpi)
{
    if (dpi % kLayoutDpi == 0) {
        if (HBITMAP indexed = ScaleIndexed(picture, dpi / kLayoutDpi)) return indexed;
    }
    const SIZE size = PictureSize(dpi);
    BITMAPINFO info{};
    info.bmiHeader = SectionHeader(size.cx, size.cy, 24);
    void* bits = nullptr;
    UniqueBitmap scaled(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!scaled || !ScaleByArea(picture, static_cast<BYTE*>(bits), size, dpi)) return nullptr;
    GdiFlush();  // the section's bits are written behind GDI's back
    return scaled.Release();
}

}  // namespace quillpost::skin
