// `pic`, the viewer's picture area: draws the skin at its top-left corner and holds the
// other controls. It is also where the user handles the borderless window: dragging the
// title strip moves it, the drawn bar minimizes it and the drawn cross closes it.
#pragma once

#include <windows.h>

namespace quillpost::picture {

inline constexpr wchar_t kClassName[] = L"QuillpostPicture";

// Creates `pic` as a child of `parent` covering `area`; nullptr on failure (see GetLastError).
// STM_GETIMAGE with IMAGE_BITMAP answers the skin's section, which `pic` keeps owning.
HWND Create(HWND parent, const RECT& area);

}  // namespace quillpost::picture
