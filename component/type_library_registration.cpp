#include "component/type_library_registration.h"

#include <wrl/client.h>

#include <cwchar>
#include <iterator>

#include "core/raii.h"
#include "component/registry_keys.h"
#include "plugin/identity.h"

using Microsoft::WRL::ComPtr;

namespace quillpost {
namespace {

// The system's automation marshaler, which the system names for every dual interface.
constexpr wchar_t kAutomationMarshaler[] = L"{00020424-0000-0000-C000-000000000046}";

// The names the library's identity gives its keys, in hex as the system writes them: the version
// ("1.0", also the interfaces' Version value) and the module's key for the library's locale
// ("0\win32").
struct VersionNames {
    VersionNames()
    {
        _snwprintf(version, std::size(version), L"%x.%x", kTypeLibMajor, kTypeLibMinor);
        _snwprintf(moduleKey, std::size(moduleKey), L"%lx\\win32", kTypeLibLocale);
    }
    wchar_t version[12];    // "ffff.ffff" at most, so terminated
    wchar_t moduleKey[16];  // "ffffffff\win32" at most
};

KeyPath VersionKey(const KeyPath& libraryKey, const VersionNames& names)
{
    KeyPath path;
    path.Set(libraryKey.Get(), names.version);
    return path;
}

bool NamesThisLibrary(HKEY root, const KeyPath& interfaceKey)
{
    KeyPath path;
    path.Set(interfaceKey.Get(), L"TypeLib");
    wchar_t found[KeyPath::kCapacity * 4];
    DWORD size = sizeof(found);
    return RegGetValueW(root, path.Get(), nullptr, RRF_RT_REG_SZ, nullptr, found, &size) == ERROR_SUCCESS &&
           CompareStringOrdinal(found, -1, kLibidText, -1, TRUE) == CSTR_EQUAL;
}

// The library's attributes, given back to it when the scope ends.
class LibraryAttributes {
public:
    explicit LibraryAttributes(ITypeLib* library) : library_(library) {}
    LibraryAttributes(const LibraryAttributes&) = delete;
    LibraryAttributes& operator=(const LibraryAttributes&) = delete;
    ~LibraryAttributes()
    {
        if (attributes_) library_->ReleaseTLibAttr(attributes_);
    }
    HRESULT Read() { return library_->GetLibAttr(&attributes_); }
    const TLIBATTR* operator->() const { return attributes_; }

private:
    ITypeLib* library_;
    TLIBATTR* attributes_ = nullptr;
};

const wchar_t* Text(const UniqueBstr& text) { return text.Get() ? text.Get() : L""; }

// The values of one registration, by what they are.
enum Value { kTitle, kFlags, kNoHelpDir, kInterfaceName, kMarshaler, kLibid, kVersion, kValueCount };

// One string value of the library's version key or of an interface's key, with what the system
// puts there.
struct Entry {
    const wchar_t* subkey;  // nullptr: the key itself
    const wchar_t* name;    // nullptr: the default value
    Value value;
};
constexpr Entry kLibraryEntries[] = {
    {nullptr, nullptr, kTitle},
    {L"FLAGS", nullptr, kFlags},
    {L"HELPDIR", nullptr, kNoHelpDir},
};
constexpr Entry kInterfaceEntries[] = {
    {nullptr, nullptr, kInterfaceName},
    {L"ProxyStubClsid", nullptr, kMarshaler},
    {L"ProxyStubClsid32", nullptr, kMarshaler},
    {L"TypeLib", nullptr, kLibid},
    {L"TypeLib", L"Version", kVersion},
};

template <std::size_t count>
HRESULT Write(HKEY root, const KeyPath& key, const Entry (&entries)[count], const wchar_t* const* values)
{
    for (const Entry& entry : entries) {
        if (HRESULT hr = SetString(root, key, entry.subkey, entry.name, values[entry.value]); FAILED(hr)) return hr;
    }
    return S_OK;
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
        out.indexes[out.count] = i;
        out.paths[out.count++].Set(L"Interface", iid);
    }
    return S_OK;
}

HRESULT RegisterTypeLibAt(HKEY root, const KeyPath& libraryKey, ITypeLib* library, const wchar_t* modulePath)
{
    InterfaceKeys interfaces;
    if (HRESULT hr = ListInterfaceKeys(library, interfaces); FAILED(hr)) return hr;
    // The values the system takes: the description (else the name), the flags as the platform
    // reports them, no help folder, and each interface's name.
    LibraryAttributes attributes(library);
    if (HRESULT hr = attributes.Read(); FAILED(hr)) return hr;
    wchar_t flags[8];
    _snwprintf(flags, std::size(flags), L"%u", attributes->wLibFlags);  // at most 5 digits, so terminated
    UniqueBstr name, description, interfaceName;
    if (HRESULT hr = library->GetDocumentation(-1, name.Put(), description.Put(), nullptr, nullptr); FAILED(hr))
        return hr;
    const VersionNames names;
    const wchar_t* values[kValueCount] = {Text(description.Get() ? description : name), flags, L"", L"",
                                          kAutomationMarshaler, kLibidText, names.version};
    const KeyPath versionKey = VersionKey(libraryKey, names);
    if (HRESULT hr = Write(root, versionKey, kLibraryEntries, values); FAILED(hr)) return hr;
    if (HRESULT hr = SetString(root, versionKey, names.moduleKey, nullptr, modulePath); FAILED(hr)) return hr;
    for (int i = 0; i < interfaces.count; ++i) {
        if (HRESULT hr = library->GetDocumentation(static_cast<INT>(interfaces.indexes[i]), interfaceName.Put(),
                                                   nullptr, nullptr, nullptr);
            FAILED(hr))
            return hr;
        values[kInterfaceName] = Text(interfaceName);
        if (HRESULT hr = Write(root, interfaces.paths[i], kInterfaceEntries, values); FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT UnregisterTypeLibEntries(HKEY root, const KeyPath& libraryKey, ITypeLib* library)
{
    InterfaceKeys interfaces;
    if (HRESULT hr = ListInterfaceKeys(library, interfaces); FAILED(hr)) return hr;
    for (int i = 0; i < interfaces.count; ++i) {
        // An interface key that another library registered is not this module's to remove.
        if (!NamesThisLibrary(root, interfaces.paths[i])) continue;
        if (HRESULT hr = DeleteTree(root, interfaces.paths[i].Get()); FAILED(hr)) return hr;
    }
    if (HRESULT hr = DeleteTree(root, VersionKey(libraryKey, VersionNames()).Get()); FAILED(hr)) return hr;
    // The library's own key goes only when no other version is registered under it.
    return DeleteKeyIfEmpty(root, libraryKey.Get());
}

}  // namespace quillpost
