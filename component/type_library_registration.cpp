#include "component/type_library_registration.h"

#include <wrl/client.h>

#include "plugin/identity.h"

using Microsoft::WRL::ComPtr;

namespace quillpost {
namespace {

const std::wstring kVersionKey = std::wstring(L"TypeLib\\") + kLibidText + L"\\1.0";

HRESULT FromStatus(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

bool ReadString(const std::wstring& path, const wchar_t* name, std::wstring& out)
{
    wchar_t data[MAX_PATH * 4] = {};
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return false;
    out = data;
    return true;
}

bool HasString(const std::wstring& path, const wchar_t* name = nullptr)
{
    std::wstring ignored;
    return ReadString(path, name, ignored);
}

bool NamesThisLibrary(const std::wstring& path)
{
    std::wstring libid;
    return ReadString(path, nullptr, libid) && CompareStringOrdinal(libid.c_str(), -1, kLibidText, -1, TRUE) ==
                                                   CSTR_EQUAL;
}

bool LibraryEntriesInPlace(const wchar_t* modulePath)
{
    std::wstring registeredPath;
    return HasString(kVersionKey) && HasString(kVersionKey + L"\\FLAGS") && HasString(kVersionKey + L"\\HELPDIR") &&
           ReadString(kVersionKey + L"\\0\\win32", nullptr, registeredPath) && registeredPath == modulePath;
}

bool InterfaceEntriesInPlace(const std::wstring& key)
{
    return HasString(key) && HasString(key + L"\\ProxyStubClsid") && HasString(key + L"\\ProxyStubClsid32") &&
           NamesThisLibrary(key + L"\\TypeLib") && HasString(key + L"\\TypeLib", L"Version");
}

HRESULT DeleteTree(const std::wstring& path)
{
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(status);
}

// The library's own key goes only when no other version is registered under it.
HRESULT DeleteLibraryKeyIfEmpty()
{
    const std::wstring libraryKey = std::wstring(L"TypeLib\\") + kLibidText;
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_CLASSES_ROOT, libraryKey.c_str(), 0, KEY_READ, &key);
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;
    if (status != ERROR_SUCCESS) return FromStatus(status);
    DWORD subkeys = 0;
    status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return FromStatus(status);
    return subkeys == 0 ? DeleteTree(libraryKey) : S_OK;
}

}  // namespace

HRESULT InterfaceKeyPaths(ITypeLib* library, std::vector<std::wstring>& out)
{
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        ComPtr<ITypeInfo> info;
        if (HRESULT hr = library->GetTypeInfo(i, &info); FAILED(hr)) return hr;
        TYPEATTR* attributes = nullptr;
        if (HRESULT hr = info->GetTypeAttr(&attributes); FAILED(hr)) return hr;
        const bool isInterface = attributes->typekind == TKIND_INTERFACE || attributes->typekind == TKIND_DISPATCH;
        wchar_t iid[40] = {};
        StringFromGUID2(attributes->guid, iid, ARRAYSIZE(iid));
        info->ReleaseTypeAttr(attributes);
        if (isInterface) out.push_back(std::wstring(L"Interface\\") + iid);
    }
    return S_OK;
}

HRESULT RegisterTypeLibAt(ITypeLib* library, wchar_t* modulePath)
{
    std::vector<std::wstring> interfaces;
    if (HRESULT hr = InterfaceKeyPaths(library, interfaces); FAILED(hr)) return hr;
    wchar_t noHelpDir[] = L"";
    if (HRESULT hr = RegisterTypeLib(library, modulePath, noHelpDir); FAILED(hr)) return hr;
    if (!LibraryEntriesInPlace(modulePath)) return TYPE_E_REGISTRYACCESS;
    for (const std::wstring& key : interfaces) {
        if (!InterfaceEntriesInPlace(key)) return TYPE_E_REGISTRYACCESS;
    }
    return S_OK;
}

HRESULT UnregisterTypeLibEntries(ITypeLib* library)
{
    std::vector<std::wstring> interfaces;
    if (HRESULT hr = InterfaceKeyPaths(library, interfaces); FAILED(hr)) return hr;
    for (const std::wstring& key : interfaces) {
        // An interface key that another library registered is not this module's to remove.
        if (!NamesThisLibrary(key + L"\\TypeLib")) continue;
        if (HRESULT hr = DeleteTree(key); FAILED(hr)) return hr;
    }
    if (HRESULT hr = DeleteTree(kVersionKey); FAILED(hr)) return hr;
    return DeleteLibraryKeyIfEmpty();
}

}  // namespace quillpost
