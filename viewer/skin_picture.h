// The skin picture's own geometry at 96 dpi, the DPI it is drawn at: what its drawing, its
// scaling and its image share.
#pragma once

#include <windows.h>

#include <cstddef>

#include "forms/twips.h"

namespace quillpost::skin {

inline constexpr int kWidth = 571;
inline constexpr int kHeight = 507;
inline constexpr int kRowBytes = (kWidth * 3 + 3) / 4 * 4;
inline constexpr std::size_t kHeaderBytes = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
inline constexpr std::size_t kDibBytes = kHeaderBytes + std::size_t{kRowBytes} * kHeight;

// The picture's size in pixels at `dpi`.
inline SIZE PictureSize(int dpi) { return {ScaledPixels(kWidth, dpi), ScaledPixels(kHeight, dpi)}; }

}  // namespace quillpost::skin
