#include "core/bounded_text.h"

namespace quillpost::bounded_text_detail {

std::size_t Append(wchar_t* text, std::size_t capacity, std::size_t length, std::wstring_view part)
{
    const std::size_t count = std::min(part.size(), capacity - 1 - length);
    std::copy_n(part.data(), count, text + length);
    text[length + count] = L'\0';
    return length + count;
}

}  // namespace quillpost::bounded_text_detail
