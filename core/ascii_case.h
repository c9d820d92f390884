// Comparing text that is ASCII by definition (schemes, names of the platform's own pages) in any
// case, without the C runtime's locale: nothing beyond ASCII folds, so nothing else matches.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillpost::ascii_case {

constexpr wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + (L'a' - L'A')) : c; }

// `prefix` is written in lower case.
constexpr bool StartsWith(std::wstring_view text, std::wstring_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != prefix[i]) return false;
    }
    return true;
}

// `lower` is written in lower case.
constexpr bool Equals(std::wstring_view text, std::wstring_view lower)
{
    return text.size() == lower.size() && StartsWith(text, lower);
}

static_assert(StartsWith(L"HTTPS://x", L"https://") && !StartsWith(L"http", L"https://"));
static_assert(Equals(L"About:Blank", L"about:blank") && !Equals(L"about:blank#x", L"about:blank"));
static_assert(!StartsWith(L"\u0130ttp:", L"http:"));  // a dotted capital I is no ASCII letter

}  // namespace quillpost::ascii_case
