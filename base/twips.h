// Window layouts are kept in twips; this is the one place they become pixels.
#pragma once

namespace quillpost {

inline constexpr int kTwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips) { return twips / kTwipsPerPixel; }

}  // namespace quillpost
