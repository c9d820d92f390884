#include "base/web_address.h"

#include "base/ascii_case.h"

namespace quillpost {
namespace {

constexpr std::wstring_view kWebSchemes[] = {L"http://", L"https://"};
constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";

HRESULT TooLong() { return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE); }

// Printable ASCII that means nothing to the command line or the shell program between quotes.
bool StaysAsItIs(char32_t c) { return c > L' ' && c < 0x7F && c != L'"' && c != L'\\' && c != L','; }

// The code point at `at` (one or two UTF-16 units, `units` says which); 0xFFFFFFFF for a lone
// surrogate.
char32_t CodePointAt(std::wstring_view text, std::size_t at, std::size_t& units)
{
    const char32_t first = text[at];
    units = 1;
    if (first < 0xD800 || first > 0xDFFF) return first;
    if (first > 0xDBFF || at + 1 >= text.size()) return 0xFFFFFFFF;
    const char32_t second = text[at + 1];
    if (second < 0xDC00 || second > 0xDFFF) return 0xFFFFFFFF;
    units = 2;
    return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
}

// The UTF-8 bytes of `c`; returns how many.
int Utf8(char32_t c, unsigned char (&bytes)[4])
{
    if (c < 0x80) return bytes[0] = static_cast<unsigned char>(c), 1;
    const int count = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    static constexpr unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (int i = count - 1; i > 0; --i, c >>= 6) bytes[i] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    bytes[0] = static_cast<unsigned char>(kLead[count] | c);
    return count;
}

// Appends `c`, encoded or not; false when the address would grow too long.
bool Append(char32_t c, WebAddressText& written)
{
    wchar_t part[12] = {};
    std::size_t length = 0;
    if (StaysAsItIs(c)) {
        part[length++] = static_cast<wchar_t>(c);
    } else {
        unsigned char bytes[4] = {};
        for (int i = 0, count = Utf8(c, bytes); i < count; ++i) {
            part[length++] = L'%';
            part[length++] = kHexDigits[bytes[i] >> 4];
            part[length++] = kHexDigits[bytes[i] & 0xF];
        }
    }
    if (written.View().size() + length > kLongestWebAddress) return false;
    written += std::wstring_view(part, length);
    return true;
}

}  // namespace

bool IsWebAddress(std::wstring_view address)
{
    for (std::wstring_view scheme : kWebSchemes) {
        if (!ascii_case::StartsWith(address, scheme)) continue;
        const std::wstring_view rest = address.substr(scheme.size());
        return !rest.empty() && std::wstring_view(L"/\\?#").find(rest.front()) == std::wstring_view::npos;
    }
    return false;
}

HRESULT WriteWebAddressForCommandLine(std::wstring_view address, WebAddressText& written)
{
    written.Clear();
    if (!IsWebAddress(address)) return E_INVALIDARG;
    // Refused before it is read: a very long address is no page's, whatever it holds.
    if (address.size() > kLongestWebAddress) return TooLong();
    for (std::size_t at = 0, units = 1; at < address.size(); at += units) {
        const char32_t c = CodePointAt(address, at, units);
        const HRESULT hr = c == 0xFFFFFFFF ? E_INVALIDARG : Append(c, written) ? S_OK : TooLong();
        if (FAILED(hr)) {
            written.Clear();
            return hr;
        }
    }
    return S_OK;
}

}  // namespace quillpost
