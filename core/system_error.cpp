#include "core/system_error.h"

namespace quillpost {

SystemErrorMessage SystemErrorText(HRESULT failure)
{
    const DWORD code = HRESULT_FACILITY(failure) == FACILITY_WIN32 ? HRESULT_CODE(failure) : failure;
    wchar_t text[512] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  static_cast<DWORD>(std::size(text)), nullptr);
    while (length && (text[length - 1] == L'\n' || text[length - 1] == L'\r')) --length;
    if (length) return SystemErrorMessage({text, length});
    wsprintfW(text, L"Error 0x%08lX", static_cast<unsigned long>(failure));
    return SystemErrorMessage(text);
}

}  // namespace quillpost
