// DllRegisterServer / DllUnregisterServer: the type library, the class and its ProgID.
//
// Both are all or nothing. Before anything is written, every key either may touch is copied:
// the class, the ProgID, the type library's key and the key of each interface the system
// registers for it. When any step fails, those keys get their copies back, so a failed call
// never leaves a mix of this copy of the DLL and another one that was registered before.
#include <wrl/client.h>

#include <new>
#include <string>
#include <vector>

#include "base/module.h"
#include "base/raii.h"
#include "component/registry_transaction.h"
#include "component/type_library_registration.h"
#include "plugin/identity.h"

using Microsoft::WRL::ComPtr;

namespace quillpost {
namespace {

const std::wstring kClassKey = std::wstring(L"CLSID\\") + kClsidText;
const std::wstring kTypeLibKey = std::wstring(L"TypeLib\\") + kLibidText;

HRESULT FromStatus(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

HRESULT LoadOwnTypeLib(ComPtr<ITypeLib>& library, wchar_t* modulePath, DWORD capacity)
{
    if (HRESULT hr = GetModulePath(modulePath, capacity); FAILED(hr)) return hr;
    return LoadTypeLibEx(modulePath, REGKIND_NONE, &library);
}

HRESULT SaveTouchedKeys(RegistryTransaction& registry, ITypeLib* library)
{
    std::vector<std::wstring> keys = {kClassKey, kProgId, kTypeLibKey};
    if (HRESULT hr = InterfaceKeyPaths(library, keys); FAILED(hr)) return hr;
    for (const std::wstring& key : keys) {
        if (HRESULT hr = registry.Save(key); FAILED(hr)) return hr;
    }
    return S_OK;
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

// The copies and paths live in standard containers; when memory runs out they throw, and the
// throw must end here as an HRESULT, never cross into the caller. The transaction has put the
// registry back by then.
template <typename Step>
HRESULT OutOfMemoryAsResult(Step step)
{
#if __cpp_exceptions
    try {
        return step();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
#else
    return step();
#endif
}

HRESULT DeleteKeyTree(const std::wstring& path)
{
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(status);
}

HRESULT Register()
{
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

HRESULT Unregister()
{
    wchar_t modulePath[MAX_PATH * 4];
    ComPtr<ITypeLib> library;
    if (HRESULT hr = LoadOwnTypeLib(library, modulePath, ARRAYSIZE(modulePath)); FAILED(hr)) return hr;
    RegistryTransaction registry;
    if (HRESULT hr = SaveTouchedKeys(registry, library.Get()); FAILED(hr)) return hr;

    if (HRESULT hr = DeleteKeyTree(kClassKey); FAILED(hr)) return hr;
    if (HRESULT hr = DeleteKeyTree(kProgId); FAILED(hr)) return hr;
    if (HRESULT hr = UnregisterTypeLibEntries(library.Get()); FAILED(hr)) return hr;
    registry.Commit();
    return S_OK;
}

}  // namespace
}  // namespace quillpost

STDAPI DllRegisterServer() { return quillpost::OutOfMemoryAsResult(quillpost::Register); }

// Idempotent: entries that are already gone are not an error.
STDAPI DllUnregisterServer() { return quillpost::OutOfMemoryAsResult(quillpost::Unregister); }
