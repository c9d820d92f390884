#include "component/registry_tree.h"

#include "base/raii.h"

namespace quillpost {
namespace {

HRESULT FromStatus(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

struct KeySizes {
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestValueName = 0, largestValue = 0;
};

HRESULT QuerySizes(HKEY key, KeySizes& sizes)
{
    return FromStatus(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &sizes.subkeys, &sizes.longestSubkey, nullptr,
                                       &sizes.values, &sizes.longestValueName, &sizes.largestValue, nullptr,
                                       nullptr));
}

HRESULT ReadValues(HKEY key, const KeySizes& sizes, std::vector<RegistryValue>& out)
{
    std::vector<wchar_t> name(sizes.longestValueName + 1);
    for (DWORD i = 0; i < sizes.values; ++i) {
        RegistryValue value;
        value.data.resize(sizes.largestValue);
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(value.data.size());
        if (HRESULT hr = FromStatus(RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &value.type,
                                                  value.data.data(), &size));
            FAILED(hr))
            return hr;
        value.name.assign(name.data(), nameLength);
        value.data.resize(size);
        out.push_back(std::move(value));
    }
    return S_OK;
}

HRESULT ReadSubkeyNames(HKEY key, const KeySizes& sizes, std::vector<std::wstring>& out)
{
    std::vector<wchar_t> name(sizes.longestSubkey + 1);
    for (DWORD i = 0; i < sizes.subkeys; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (HRESULT hr = FromStatus(RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr,
                                                  nullptr));
            FAILED(hr))
            return hr;
        out.emplace_back(name.data(), nameLength);
    }
    return S_OK;
}

HRESULT ReadOpenKey(HKEY key, RegistryTree& out)
{
    KeySizes sizes;
    if (HRESULT hr = QuerySizes(key, sizes); FAILED(hr)) return hr;
    if (HRESULT hr = ReadValues(key, sizes, out.values); FAILED(hr)) return hr;
    std::vector<std::wstring> names;
    if (HRESULT hr = ReadSubkeyNames(key, sizes, names); FAILED(hr)) return hr;
    for (std::wstring& name : names) {
        RegistryTree subkey;
        // A subkey that vanished between the listing and the read would make the copy wrong.
        if (HRESULT hr = ReadRegistryTree(key, name, subkey); hr != S_OK) return FAILED(hr) ? hr : E_UNEXPECTED;
        subkey.name = std::move(name);
        out.subkeys.push_back(std::move(subkey));
    }
    return S_OK;
}

HRESULT WriteValues(HKEY key, const std::vector<RegistryValue>& values)
{
    for (const RegistryValue& value : values) {
        const wchar_t* name = value.name.empty() ? nullptr : value.name.c_str();
        if (HRESULT hr = FromStatus(RegSetValueExW(key, name, 0, value.type, value.data.data(),
                                                   static_cast<DWORD>(value.data.size())));
            FAILED(hr))
            return hr;
    }
    return S_OK;
}

// Creates the key (and its parents) and writes the copy into it; keeps going after a failure.
HRESULT CreateTree(HKEY root, const std::wstring& path, const RegistryTree& tree)
{
    UniqueHkey key;
    if (HRESULT hr = FromStatus(RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                KEY_READ | KEY_WRITE, nullptr, key.Put(), nullptr));
        FAILED(hr))
        return hr;
    HRESULT result = WriteValues(key.Get(), tree.values);
    for (const RegistryTree& subkey : tree.subkeys) {
        const HRESULT hr = CreateTree(key.Get(), subkey.name, subkey);
        if (SUCCEEDED(result)) result = hr;
    }
    return result;
}

}  // namespace

HRESULT ReadRegistryTree(HKEY root, const std::wstring& path, RegistryTree& out)
{
    out = RegistryTree{path, {}, {}};
    UniqueHkey key;
    const LSTATUS status = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put());
    if (status == ERROR_FILE_NOT_FOUND) return S_FALSE;
    if (HRESULT hr = FromStatus(status); FAILED(hr)) return hr;
    return ReadOpenKey(key.Get(), out);
}

HRESULT WriteRegistryTree(HKEY root, const std::wstring& path, bool exists, const RegistryTree& tree)
{
    const LSTATUS deleted = RegDeleteTreeW(root, path.c_str());
    HRESULT result = deleted == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(deleted);
    if (!exists) return result;
    const HRESULT created = CreateTree(root, path, tree);
    return SUCCEEDED(result) ? created : result;
}

}  // namespace quillpost
