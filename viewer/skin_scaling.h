// The skin's scaling: the picture, drawn at 96 dpi, made into a section for another DPI. Inside
// the viewer only; its callers are the skin's own files.
#pragma once

#include <windows.h>

namespace quillpost::skin {

// The header of a bottom-up DIB of `width` by `height` pixels, `bitCount` bits a pixel, without
// a colour table.
BITMAPINFOHEADER SectionHeader(int width, int height, WORD bitCount);

// A new section holding `picture` (the 24-bit bottom-up bits of the picture drawn at 96 dpi)
// scaled to `dpi` by area averaging; the caller owns it. Null when there is no memory.
HBITMAP ScaledSection(const BYTE* picture, int dpi);

}  // namespace quillpost::skin
