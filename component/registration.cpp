// DllRegisterServer / DllUnregisterServer: the type library, the class and its ProgID.
#include <wrl/client.h>

#include <string>

#include "base/module.h"
#include "component/registry_transaction.h"
#include "plugin/identity.h"

using Microsoft::WRL::ComPtr;

namespace quillpost {
namespace {

const std::wstring kClassKey = std::wstring(L"CLSID\\") + kClsidText;

bool IsTypeLibRegistered()
{
    BSTR path = nullptr;
    GUID libid{};
    CLSIDFromString(kLibidText, &libid);
    HRESULT hr = QueryPathOfRegTypeLib(libid, kTypeLibMajor, kTypeLibMinor, kTypeLibLocale, &path);
    SysFreeString(path);
    return SUCCEEDED(hr);
}

HRESULT RemoveTypeLibEntries()
{
    GUID libid{};
    CLSIDFromString(kLibidText, &libid);
    return UnRegisterTypeLib(libid, kTypeLibMajor, kTypeLibMinor, kTypeLibLocale, SYS_WIN32);
}

HRESULT UnregisterTypeLib()
{
    if (!IsTypeLibRegistered()) return S_OK;  // nothing to remove is not a failure
    return RemoveTypeLibEntries();
}

HRESULT RegisterTypeLibOf(wchar_t* modulePath)
{
    ComPtr<ITypeLib> library;
    if (HRESULT hr = LoadTypeLibEx(modulePath, REGKIND_NONE, &library); FAILED(hr)) return hr;
    wchar_t noHelpDir[] = L"";
    return RegisterTypeLib(library.Get(), modulePath, noHelpDir);
}

HRESULT WriteClassKeys(RegistryTransaction& registry, const std::wstring& modulePath)
{
    const std::wstring server = kClassKey + L"\\InprocServer32";
    if (HRESULT hr = registry.SetString(server, nullptr, modulePath); FAILED(hr)) return hr;
    if (HRESULT hr = registry.SetString(server, L"ThreadingModel", kThreadingModel); FAILED(hr)) return hr;
    if (HRESULT hr = registry.SetString(kClassKey + L"\\ProgID", nullptr, kProgId); FAILED(hr)) return hr;
    if (HRESULT hr = registry.SetString(kClassKey + L"\\TypeLib", nullptr, kLibidText); FAILED(hr)) return hr;
    return registry.SetString(std::wstring(kProgId) + L"\\Clsid", nullptr, kClsidText);
}

HRESULT DeleteKeyTree(const std::wstring& path)
{
    LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;
    return HRESULT_FROM_WIN32(status);
}

}  // namespace
}  // namespace quillpost

// All or nothing: when any entry cannot be written, what this call wrote is taken back.
STDAPI DllRegisterServer()
{
    using namespace quillpost;
    wchar_t modulePath[MAX_PATH * 4];
    if (HRESULT hr = GetModulePath(modulePath, ARRAYSIZE(modulePath)); FAILED(hr)) return hr;

    const bool typeLibWasRegistered = IsTypeLibRegistered();
    if (HRESULT hr = RegisterTypeLibOf(modulePath); FAILED(hr)) {
        if (!typeLibWasRegistered) RemoveTypeLibEntries();
        return hr;
    }
    RegistryTransaction registry;
    if (HRESULT hr = WriteClassKeys(registry, modulePath); FAILED(hr)) {
        if (!typeLibWasRegistered) RemoveTypeLibEntries();
        return hr;  // the transaction rolls the class keys back
    }
    registry.Commit();
    return S_OK;
}

// Idempotent: entries that are already gone are not an error.
STDAPI DllUnregisterServer()
{
    using namespace quillpost;
    HRESULT classResult = DeleteKeyTree(kClassKey);
    HRESULT progIdResult = DeleteKeyTree(kProgId);
    HRESULT typeLibResult = UnregisterTypeLib();
    if (FAILED(classResult)) return classResult;
    if (FAILED(progIdResult)) return progIdResult;
    return typeLibResult;
}
