#include "component/registry_keys.h"

#include <cwchar>

namespace quillpost {

bool KeyPath::Set(const wchar_t* first, const wchar_t* second)
{
    const int written = second ? _snwprintf(text, kCapacity, L"%ls\\%ls", first, second)
                               : _snwprintf(text, kCapacity, L"%ls", first);
    const bool fits = written >= 0 && written < kCapacity;
    if (!fits) text[0] = L'\0';
    return fits;
}

HRESULT OpenKey(HKEY root, const wchar_t* path, UniqueHkey& key, bool create)
{
    constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;
    return FromStatus(create ? RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess, nullptr,
                                               key.Put(), nullptr)
                             : RegOpenKeyExW(root, path, 0, kAccess, key.Put()));
}

HRESULT SetString(HKEY root, const KeyPath& base, const wchar_t* subkey, const wchar_t* valueName,
                  const wchar_t* data)
{
    KeyPath path;
    path.Set(base.Get(), subkey);
    UniqueHkey key;
    if (HRESULT hr = OpenKey(root, path.Get(), key, true); FAILED(hr)) return hr;
    const DWORD bytes = static_cast<DWORD>((std::wcslen(data) + 1) * sizeof(wchar_t));  // with the NUL
    return FromStatus(RegSetValueExW(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), bytes));
}

HRESULT DeleteTree(HKEY root, const wchar_t* path)
{
    const LSTATUS status = RegDeleteTreeW(root, path);
    return status == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(status);
}

HRESULT DeleteKeyIfEmpty(HKEY root, const wchar_t* path)
{
    UniqueHkey key;
    if (HRESULT hr = OpenKey(root, path, key, false); FAILED(hr)) return hr == kNotFound ? S_OK : hr;
    DWORD subkeys = 0, values = 0;
    if (HRESULT hr = FromStatus(RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                                 &values, nullptr, nullptr, nullptr, nullptr));
        FAILED(hr))
        return hr;
    key.Reset();
    // RegDeleteKeyW refuses a key that has gained a subkey meanwhile, where a tree removal would not.
    return subkeys == 0 && values == 0 ? FromStatus(RegDeleteKeyW(root, path)) : S_OK;
}

}  // namespace quillpost
