// The skin picture of the viewer: frame, title strip, glyphs and logo, drawn by our own code
// so that no binary image lives in the repository.
#pragma once

#include <windows.h>

#include <vector>

#include "viewer/skin_picture.h"

namespace quillpost::skin {

// A new bottom-up DIB section holding the picture at `dpi`; the caller owns it. At 96 dpi the
// picture is drawn straight into a 24-bit section's bits; at any other DPI it is drawn once at 96
// and scaled with smoothing (area averaging) into a section of the scaled size: 24-bit, or at a
// whole multiple of 96 dpi, where scaling makes no new colours, 8-bit with a colour table. Either
// way the section is the only copy of its pixels that is kept.
HBITMAP CreateBitmap(int dpi = 96);

// The picture of a section made by CreateBitmap as a DIB image: a 54-byte header, then the
// bottom-up 24-bit rows padded to 4-byte words (kDibBytes in all). Empty when `section` is not
// a DIB section of the picture's size.
std::vector<BYTE> DibImage(HBITMAP section);

}  // namespace quillpost::skin
