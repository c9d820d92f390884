// DllRegisterServer / DllUnregisterServer: the type library, the class and its ProgID.
//
// Both are all or nothing. Before anything is written, every key either may touch is copied:
// the class, the ProgID, the type library's key and the key of each interface the system
// registers for it. When any step fails, those keys get their copies back, so a failed call
// never leaves a mix of this copy of the DLL and another one that was registered before.
// Nothing here allocates but through calls that report failure, so running out of memory
// fails the call with the registry as it was.
#include <wrl/client.h>

#include <cwchar>

#include "base/module.h"
#include "base/raii.h"
#include "component/key_path.h"
#include "component/registry_transaction.h"
#include "component/type_library_registration.h"
#include "plugin/identity.h"

using Microsoft::WRL::ComPtr;

namespace quillpost {
namespace {

HRESULT FromStatus(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

KeyPath ClassKey(const wchar_t* subkey = nullptr)
{
    KeyPath classKey, path;
    classKey.Set(L"CLSID", kClsidText);
    if (!subkey) return classKey;
    path.Set(classKey.Get(), subkey);
    return path;
}

KeyPath ProgIdKey(const wchar_t* subkey = nullptr)
{
    KeyPath path;
    path.Set(kProgId, subkey);
    return path;
}

HRESULT LoadOwnTypeLib(ComPtr<ITypeLib>& library, wchar_t* modulePath, DWORD capacity)
{
    if (HRESULT hr = GetModulePath(modulePath, capacity); FAILED(hr)) return hr;
    return LoadTypeLibEx(modulePath, REGKIND_NONE, &library);
}

HRESULT SaveTouchedKeys(RegistryTransaction& registry, ITypeLib* library)
{
    KeyPath typeLibKey;
    typeLibKey.Set(L"TypeLib", kLibidText);
    for (const KeyPath& key : {ClassKey(), ProgIdKey(), typeLibKey}) {
        if (HRESULT hr = registry.Save(key); FAILED(hr)) return hr;
    }
    InterfaceKeys interfaces;
    if (HRESULT hr = ListInterfaceKeys(library, interfaces); FAILED(hr)) return hr;
    for (int i = 0; i < interfaces.count; ++i) {
        if (HRESULT hr = registry.Save(interfaces.paths[i]); FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT SetString(const KeyPath& keyPath, const wchar_t* valueName, const wchar_t* data)
{
    UniqueHkey key;
    if (HRESULT hr = FromStatus(RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath.Get(), 0, nullptr,
                                                REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.Put(), nullptr));
        FAILED(hr))
        return hr;
    const DWORD bytes = static_cast<DWORD>((std::wcslen(data) + 1) * sizeof(wchar_t));  // with the NUL
    return FromStatus(RegSetValueExW(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), bytes));
}

HRESULT WriteClassKeys(const wchar_t* modulePath)
{
    const KeyPath server = ClassKey(L"InprocServer32");
    if (HRESULT hr = SetString(server, nullptr, modulePath); FAILED(hr)) return hr;
    if (HRESULT hr = SetString(server, L"ThreadingModel", kThreadingModel); FAILED(hr)) return hr;
    if (HRESULT hr = SetString(ClassKey(L"ProgID"), nullptr, kProgId); FAILED(hr)) return hr;
    if (HRESULT hr = SetString(ClassKey(L"TypeLib"), nullptr, kLibidText); FAILED(hr)) return hr;
    return SetString(ProgIdKey(L"Clsid"), nullptr, kClsidText);
}

// Entries that are already gone are not an error.
HRESULT DeleteKeyTree(const KeyPath& path)
{
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.Get());
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

    if (HRESULT hr = RegisterTypeLibAt(library.Get(), modulePath); FAILED(hr)) return hr;
    if (HRESULT hr = WriteClassKeys(modulePath); FAILED(hr)) return hr;
    registry.Commit();
    return S_OK;
}

// Idempotent: unregistering what is not registered succeeds.
STDAPI DllUnregisterServer()
{
    using namespace quillpost;
    wchar_t modulePath[MAX_PATH * 4];
    ComPtr<ITypeLib> library;
    if (HRESULT hr = LoadOwnTypeLib(library, modulePath, ARRAYSIZE(modulePath)); FAILED(hr)) return hr;
    RegistryTransaction registry;
    if (HRESULT hr = SaveTouchedKeys(registry, library.Get()); FAILED(hr)) return hr;

    if (HRESULT hr = DeleteKeyTree(ClassKey()); FAILED(hr)) return hr;
    if (HRESULT hr = DeleteKeyTree(ProgIdKey()); FAILED(hr)) return hr;
    if (HRESULT hr = UnregisterTypeLibEntries(library.Get()); FAILED(hr)) return hr;
    registry.Commit();
    return S_OK;
}
