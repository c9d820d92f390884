// Names and identifiers by which hosts and the registry know the component.
#pragma once

#include <windows.h>

namespace quillpost {

inline constexpr wchar_t kClsidText[] = L"{55931A42-72BB-4AAC-8C6D-DF4BAD84DCFB}";
inline constexpr wchar_t kLibidText[] = L"{A1AF92CF-B99B-443C-B7A8-3022E7E97F28}";
inline constexpr wchar_t kProgId[] = L"TallowPlugin6.Sample";
inline constexpr wchar_t kThreadingModel[] = L"Apartment";
inline constexpr WORD kTypeLibMajor = 1;
inline constexpr WORD kTypeLibMinor = 0;
inline constexpr LCID kTypeLibLocale = 0;

}  // namespace quillpost
