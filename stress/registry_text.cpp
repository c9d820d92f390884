#include "registry_text.h"

#include <cstdio>
#include <vector>

namespace quillpost::stress {
namespace {

constexpr const wchar_t* kRegistrationKeys[] = {
    L"CLSID\\{55931A42-72BB-4AAC-8C6D-DF4BAD84DCFB}",
    L"TallowPlugin6.Sample",
    L"TypeLib\\{A1AF92CF-B99B-443C-B7A8-3022E7E97F28}",
    L"Interface\\{137E88E8-8B28-4072-85F9-BAAFC73084EE}",
};

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

void AppendKey(HKEY root, const std::wstring& path, std::string& out)
{
    HKEY key = nullptr;
    out += '[';
    out += Narrow(path);
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        out += "] absent\n";
        return;
    }
    out += "]\n";
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(65536);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        char head[64];
        std::snprintf(head, sizeof(head), "\"=%lu:", type);
        out += '"';
        out += Narrow(std::wstring(name.data(), nameLength));
        out += head;
        for (DWORD b = 0; b < size; ++b) {
            char hex[4];
            std::snprintf(hex, sizeof(hex), "%02x", data[b]);
            out += hex;
        }
        out += "\n";
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name.data(), nameLength);
    }
    RegCloseKey(key);
    for (const std::wstring& subkey : subkeys) AppendKey(root, path + L"\\" + subkey, out);
}

bool SetDefault(HKEY root, const std::wstring& path, const wchar_t* text)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return false;
    const DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    const bool set = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) ==
                     ERROR_SUCCESS;
    RegCloseKey(key);
    return set;
}

}  // namespace

std::string RegistrationText(HKEY root)
{
    std::string out;
    for (const wchar_t* key : kRegistrationKeys) AppendKey(root, key, out);
    return out;
}

std::string UserClassesText()
{
    std::string out;
    AppendKey(HKEY_CURRENT_USER, L"Software\\Classes", out);
    return out;
}

bool PointRegistrationElsewhere(const wchar_t* otherPath, HKEY root)
{
    return SetDefault(root, std::wstring(kRegistrationKeys[0]) + L"\\InprocServer32", otherPath) &&
           SetDefault(root, std::wstring(kRegistrationKeys[2]) + L"\\1.0\\0\\win32", otherPath);
}

}  // namespace quillpost::stress
