#include "base/system_error.h"

#include "base/raii.h"

namespace quillpost {

std::wstring SystemErrorText(HRESULT failure)
{
    const DWORD code = HRESULT_FACILITY(failure) == FACILITY_WIN32 ? HRESULT_CODE(failure) : failure;
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    UniqueLocalText owned(text);
    std::wstring message = length ? std::wstring(text, length) : std::wstring();
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) message.pop_back();
    if (message.empty()) {
        wchar_t number[32] = {};
        wsprintfW(number, L"Error 0x%08lX", static_cast<unsigned long>(failure));
        message = number;
    }
    return message;
}

}  // namespace quillpost
