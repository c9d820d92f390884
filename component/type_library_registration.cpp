#include "component/type_library_registration.h"

#include <wrl/client.h>

#include "base/raii.h"
#include "plugin/identity.h"

using Microsoft::WRL::ComPtr;

namespace quillpost {
namespace {

HRESULT FromStatus(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

KeyPath LibraryKey()
{
    KeyPath path;
    path.Set(L"TypeLib", kLibidText);
    return path;
}

KeyPath VersionKey()
{
    KeyPath path;
    path.Set(LibraryKey().Get(), L"1.0");
    return path;
}

KeyPath Below(const KeyPath& key, const wchar_t* subkey)
{
    KeyPath path;
    path.Set(key.Get(), subkey);
    return path;
}

// The value as text, when it is a string that fits the buffer.
bool ReadString(const KeyPath& key, const wchar_t* name, wchar_t* buffer, DWORD capacity)
{
    DWORD size = capacity * sizeof(wchar_t);
    return RegGetValueW(HKEY_CLASSES_ROOT, key.Get(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) == ERROR_SUCCESS;
}

bool HasString(const KeyPath& key, const wchar_t* name = nullptr)
{
    DWORD size = 0;
    return RegGetValueW(HKEY_CLASSES_ROOT, key.Get(), name, RRF_RT_REG_SZ, nullptr, nullptr, &size) ==
           ERROR_SUCCESS;
}

bool Equal(const wchar_t* a, const wchar_t* b) { return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL; }

bool NamesThisLibrary(const KeyPath& key)
{
    wchar_t libid[64] = {};
    return ReadString(key, nullptr, libid, ARRAYSIZE(libid)) && Equal(libid, kLibidText);
}

bool LibraryEntriesInPlace(const wchar_t* modulePath)
{
    const KeyPath version = VersionKey();
    wchar_t registered[KeyPath::kCapacity * 4] = {};
    return HasString(version) && HasString(Below(version, L"FLAGS")) && HasString(Below(version, L"HELPDIR")) &&
           ReadString(Below(version, L"0\\win32"), nullptr, registered, ARRAYSIZE(registered)) &&
           Equal(registered, modulePath);
}

bool InterfaceEntriesInPlace(const KeyPath& key)
{
    return HasString(key) && HasString(Below(key, L"ProxyStubClsid")) && HasString(Below(key, L"ProxyStubClsid32")) &&
           NamesThisLibrary(Below(key, L"TypeLib")) && HasString(Below(key, L"TypeLib"), L"Version");
}

HRESULT DeleteTree(const KeyPath& path)
{
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.Get());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(status);
}

// The library's own key goes only when no other version is registered under it.
HRESULT DeleteLibraryKeyIfEmpty()
{
    const KeyPath library = LibraryKey();
    UniqueHkey key;
    LSTATUS status = RegOpenKeyExW(HKEY_CLASSES_ROOT, library.Get(), 0, KEY_READ, key.Put());
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;
    if (status != ERROR_SUCCESS) return FromStatus(status);
    DWORD subkeys = 0;
    status = RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return FromStatus(status);
    return subkeys == 0 ? DeleteTree(library) : S_OK;
}

}  // namespace

HRESULT ListInterfaceKeys(ITypeLib* library, InterfaceKeys& out)
{
    out.count = 0;
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        ComPtr<ITypeInfo> info;
        if (HRESULT hr = library->GetTypeInfo(i, &info); FAILED(hr)) return hr;
        TypeAttributes attributes;
        if (HRESULT hr = attributes.Read(info.Get()); FAILED(hr)) return hr;
        const bool isInterface = attributes->typekind == TKIND_INTERFACE || attributes->typekind == TKIND_DISPATCH;
        wchar_t iid[40] = {};
        StringFromGUID2(attributes->guid, iid, ARRAYSIZE(iid));
        if (!isInterface) continue;
        if (out.count == InterfaceKeys::kCapacity) return E_UNEXPECTED;
        out.paths[out.count++].Set(L"Interface", iid);
    }
    return S_OK;
}

HRESULT RegisterTypeLibAt(ITypeLib* library, wchar_t* modulePath)
{
    InterfaceKeys interfaces;
    if (HRESULT hr = ListInterfaceKeys(library, interfaces); FAILED(hr)) return hr;
    wchar_t noHelpDir[] = L"";
    if (HRESULT hr = RegisterTypeLib(library, modulePath, noHelpDir); FAILED(hr)) return hr;
    if (!LibraryEntriesInPlace(modulePath)) return TYPE_E_REGISTRYACCESS;
    for (int i = 0; i < interfaces.count; ++i) {
        if (!InterfaceEntriesInPlace(interfaces.paths[i])) return TYPE_E_REGISTRYACCESS;
    }
    return S_OK;
}

HRESULT UnregisterTypeLibEntries(ITypeLib* library)
{
    InterfaceKeys interfaces;
    if (HRESULT hr = ListInterfaceKeys(library, interfaces); FAILED(hr)) return hr;
    for (int i = 0; i < interfaces.count; ++i) {
        // An interface key that another library registered is not this module's to remove.
        if (!NamesThisLibrary(Below(interfaces.paths[i], L"TypeLib"))) continue;
        if (HRESULT hr = DeleteTree(interfaces.paths[i]); FAILED(hr)) return hr;
    }
    if (HRESULT hr = DeleteTree(VersionKey()); FAILED(hr)) return hr;
    return DeleteLibraryKeyIfEmpty();
}

}  // namespace quillpost
