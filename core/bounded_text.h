// Text written in place, up to a fixed length. Failure messages are built with it: they are
// written just when memory may be what ran out, so building one must not need any.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace quillpost {

namespace bounded_text_detail {
// Appends what fits of `part` to `text` (`capacity` characters with its NUL, `length` of them
// used) and ends it with a NUL; returns the new length. One copy for every capacity.
std::size_t Append(wchar_t* text, std::size_t capacity, std::size_t length, std::wstring_view part);
}  // namespace bounded_text_detail

template <std::size_t Capacity>
class BoundedText {
public:
    static_assert(Capacity > 0);

    BoundedText() = default;
    explicit BoundedText(std::wstring_view text) { *this += text; }

    // What does not fit is cut off; the text stays NUL-terminated.
    BoundedText& operator+=(std::wstring_view part)
    {
        length_ = bounded_text_detail::Append(text_, Capacity, length_, part);
        return *this;
    }

    void Clear()
    {
        length_ = 0;
        text_[0] = L'\0';
    }

    std::wstring_view View() const { return {text_, length_}; }
    const wchar_t* CStr() const { return text_; }
    bool Empty() const { return length_ == 0; }

private:
    wchar_t text_[Capacity] = {};
    std::size_t length_ = 0;
};

}  // namespace quillpost
