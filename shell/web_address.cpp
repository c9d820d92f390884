#include "shell/web_address.h"

#include "core/ascii_case.h"

namespace quillpost {
namespace {

constexpr std::wstring_view kWebSchemes[] = {L"http://", L"https://"};
constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";

HRESULT TooLong() { return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE); }

// Printable ASCII that means nothing to the command line or the shell program between quotes.
bool StaysAsItIs(unsigned char c) { return c > ' ' && c < 0x7F && c != '"' && c != '\\' && c != ','; }


}  // namespace

bool IsWebAddress(std::wstring_view address)
{
    for (std::wstring_view scheme : kWebSchemes) {
        if (!ascii_case::StartsWith(address, scheme)) continue;
        const std::wstring_view rest = address.substr(scheme.size());
        return !rest.empty() && rest[0] != L'/' && rest[0] != L'\\' && rest[0] != L'?' && rest[0] != L'#';
    }
    return false;
}

HRESULT AppendWebAddressForCommandLine(std::wstring_view address, WebAddressText& text)
{
    if (!IsWebAddress(address)) return E_INVALIDARG;
    // Refused before it is read: a very long address is no page's, whatever it holds.
    if (address.size() > kLongestWebAddress) return TooLong();
    // At most three bytes a UTF-16 unit; a lone surrogate is no text and fails.
    char bytes[kLongestWebAddress * 3];
    const int count = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, address.data(),
                                          static_cast<int>(address.size()), bytes, sizeof(bytes), nullptr, nullptr);
    if (count <= 0) return E_INVALIDARG;
    const std::size_t end = text.View().size() + kLongestWebAddress;
    for (int i = 0; i < count; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        wchar_t written[] = {byte, 0, 0};
        std::size_t length = 1;
        if (!StaysAsItIs(byte)) {
            written[0] = L'%';
            written[1] = kHexDigits[byte >> 4];
            written[2] = kHexDigits[byte & 0xF];
            length = 3;
        }
        if (text.View().size() + length > end) return TooLong();
        text += std::wstring_view(written, length);
    }
    return S_OK;
}

}  // namespace quillpost
