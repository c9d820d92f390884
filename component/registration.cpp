// DllRegisterServer / DllUnregisterServer: the type library, the class and its ProgID.
//
// Both are all or nothing. Before anything is written, every key either may touch is copied:
// the class, the ProgID, the type library's key and the key of each interface the system
// registers for it. When any step fails, those keys get their copies back, so a failed call
// never leaves a mix of this copy of the DLL and another one that was registered before.
#include <wrl/client.h>

#include <string>

#include "base/module.h"
#include "base/raii.h"
#include "component/registry_transaction.h"
#include "plugin/identity.h"

using Microsoft::WRL::ComPtr;

namespace quillpost {
namespace {

const std::wstring kClassKey = std::wstring(L"CLSID\\") + kClsidText;
const std::wstring kTypeLibKey = std::wstring(L"TypeLib\\") + kLibidText;

HRESULT FromStatus(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

GUID Libid()
{
    GUID libid{};
    CLSIDFromString(kLibidText, &libid);
    return libid;
}

HRESULT LoadOwnTypeLib(ComPtr<ITypeLib>& library, wchar_t* modulePath, DWORD capacity)
{
    if (HRESULT hr = GetModulePath(modulePath, capacity); FAILED(hr)) return hr;
    return LoadTypeLibEx(modulePath, REGKIND_NONE, &library);
}

// The system registers a key under Interface\ for each interface the library describes.
HRESULT SaveInterfaceKeys(RegistryTransaction& registry, ITypeLib* library)
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
        if (!isInterface) continue;
        if (HRESULT hr = registry.Save(std::wstring(L"Interface\\") + iid); FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT SaveTouchedKeys(RegistryTransaction& registry, ITypeLib* library)
{
    for (const std::wstring& key : {kClassKey, std::wstring(kProgId), kTypeLibKey}) {
        if (HRESULT hr = registry.Save(key); FAILED(hr)) return hr;
    }
    return SaveInterfaceKeys(registry, library);
}

HRESULT SetString(const std::wstring& keyPath, const wchar_t* valueName, const std::wstring& data)
{
    UniqueHkey key;
    if (HRESULT hr = FromStatus(RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr,
                                                REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.Put(), nullptr));
        FAILED(hr))
        return hr;
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));  // with the NUL
    return FromStatus(
        RegSetValueExW(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes));
}

HRESULT WriteClassKeys(const std::wstring& modulePath)
{
    const std::wstring server = kClassKey + L"\\InprocServer32";
    if (HRESULT hr = SetString(server, nullptr, modulePath); FAILED(hr)) return hr;
    if (HRESULT hr = SetString(server, L"ThreadingModel", kThreadingModel); FAILED(hr)) return hr;
    if (HRESULT hr = SetString(kClassKey + L"\\ProgID", nullptr, kProgId); FAILED(hr)) return hr;
    if (HRESULT hr = SetString(kClassKey + L"\\TypeLib", nullptr, kLibidText); FAILED(hr)) return hr;
    return SetString(std::wstring(kProgId) + L"\\Clsid", nullptr, kClsidText);
}

// The system's registration of the library does not report every write it could not make.
HRESULT CheckTypeLibRegisteredAt(const wchar_t* modulePath)
{
    UniqueBstr registered;
    if (HRESULT hr = QueryPathOfRegTypeLib(Libid(), kTypeLibMajor, kTypeLibMinor, kTypeLibLocale, registered.Put());
        FAILED(hr))
        return hr;
    return registered.View() == modulePath ? S_OK : TYPE_E_REGISTRYACCESS;
}

bool IsTypeLibRegistered()
{
    UniqueBstr path;
    return SUCCEEDED(QueryPathOfRegTypeLib(Libid(), kTypeLibMajor, kTypeLibMinor, kTypeLibLocale, path.Put()));
}

HRESULT UnregisterTypeLib()
{
    if (!IsTypeLibRegistered()) return S_OK;  // nothing to remove is not a failure
    if (HRESULT hr = UnRegisterTypeLib(Libid(), kTypeLibMajor, kTypeLibMinor, kTypeLibLocale, SYS_WIN32); FAILED(hr))
        return hr;
    return IsTypeLibRegistered() ? TYPE_E_REGISTRYACCESS : S_OK;
}

HRESULT DeleteKeyTree(const std::wstring& path)
{
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(status);
}

}  // namespace
}  // namespace quillpost

STDAPI DllRegisterServer()
{
    using namespace quillpost;
    wchar_t modulePath[MAX_PATH * 4];
    ComPtr<ITypeLib> library;
    if (HRESULT hr = LoadOwnTypeLib(library, modulePath, ARRAYSIZE(modulePath)); FAILED(hr)) return hr;
    RegistryTransaction registry;
    if (HRESULT hr = SaveTouchedKeys(registry, library.Get()); FAILED(hr)) return hr;

    wchar_t noHelpDir[] = L"";
    if (HRESULT hr = RegisterTypeLib(library.Get(), modulePath, noHelpDir); FAILED(hr)) return hr;
    if (HRESULT hr = CheckTypeLibRegisteredAt(modulePath); FAILED(hr)) return hr;
    if (HRESULT hr = WriteClassKeys(modulePath); FAILED(hr)) return hr;
    registry.Commit();
    return S_OK;
}

// Idempotent: entries that are already gone are not an error.
STDAPI DllUnregisterServer()
{
    using namespace quillpost;
    wchar_t modulePath[MAX_PATH * 4];
    ComPtr<ITypeLib> library;
    if (HRESULT hr = LoadOwnTypeLib(library, modulePath, ARRAYSIZE(modulePath)); FAILED(hr)) return hr;
    RegistryTransaction registry;
    if (HRESULT hr = SaveTouchedKeys(registry, library.Get()); FAILED(hr)) return hr;

    if (HRESULT hr = DeleteKeyTree(kClassKey); FAILED(hr)) return hr;
    if (HRESULT hr = DeleteKeyTree(kProgId); FAILED(hr)) return hr;
    if (HRESULT hr = UnregisterTypeLib(); FAILED(hr)) return hr;
    registry.Commit();
    return S_OK;
}
