// Text constants joined at compile time, so that an address is written once and every text that
// carries it agrees, and nothing is allocated to build them.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>

namespace quillpost {

// Joins string literals into one NUL-terminated constant.
template <std::size_t... N>
constexpr auto JoinText(const wchar_t (&... parts)[N])
{
    std::array<wchar_t, (N + ...) - sizeof...(N) + 1> joined{};
    std::size_t at = 0;
    ((std::copy_n(parts, N - 1, joined.begin() + at), at += N - 1), ...);
    return joined;
}

}  // namespace quillpost
