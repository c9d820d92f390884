// The skin picture of the viewer: frame, title strip, glyphs and logo, drawn by our own code
// so that no binary image lives in the repository.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

namespace quillpost::skin {

inline constexpr int kWidth = 571;
inline constexpr int kHeight = 507;
inline constexpr int kRowBytes = (kWidth * 3 + 3) / 4 * 4;
inline constexpr std::size_t kHeaderBytes = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
inline constexpr std::size_t kDibBytes = kHeaderBytes + std::size_t{kRowBytes} * kHeight;

// The picture as a DIB image: a 54-byte header, then bottom-up 24-bit rows padded to
// 4-byte words. Built once, on first use.
const std::vector<BYTE>& Dib();

// A new 24-bit DIB section holding the picture; the caller owns it.
HBITMAP CreateBitmap();

}  // namespace quillpost::skin
