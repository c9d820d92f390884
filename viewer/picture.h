// `pic`, the viewer's picture area: draws the skin at its top-left corner and holds the
// other controls. It is also where the user handles the borderless window: the title strip is
// its caption, which the system moves, the drawn bar minimizes it and the drawn cross closes it.
#pragma once

#include <windows.h>

namespace quillpost::picture {

inline constexpr wchar_t kClassName[] = L"QuillpostPicture";

// Creates `pic` as a child of `parent` covering `area`, with the skin at `dpi`; nullptr on failure
// (see GetLastError). STM_GETIMAGE with IMAGE_BITMAP answers the skin's section, which `pic` keeps
// owning.
HWND Create(HWND parent, const RECT& area, int dpi);

// Its window is now shown at `dpi`: the skin, the heading's background and the hot spots of the
// title strip follow. False (and the picture as it was) when the skin could not be made.
bool SetDpi(HWND picture, int dpi);

}  // namespace quillpost::picture
