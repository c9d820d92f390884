// Window layouts are kept in twips, a physical unit (1,440 to the inch); this is the one place
// they become pixels, at the DPI of the window they are drawn in.
#pragma once

namespace quillpost {

inline constexpr int kTwipsPerInch = 1440;
// The DPI at which the layouts were drawn (15 twips to the pixel) and the skin is painted.
inline constexpr int kLayoutDpi = 96;
inline constexpr int kTwipsPerPixel = kTwipsPerInch / kLayoutDpi;

// Rounded to the nearest pixel, as MulDiv rounds; exact at 96 dpi for the layouts' multiples of 15.
constexpr int TwipsToPixels(int twips, int dpi = kLayoutDpi)
{
    return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

// A length drawn in pixels at 96 dpi (the skin's own grid), at `dpi`.
constexpr int ScaledPixels(int pixels, int dpi) { return (pixels * dpi + kLayoutDpi / 2) / kLayoutDpi; }

}  // namespace quillpost
