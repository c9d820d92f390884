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

constexpr wchar_t kVersionText[] = L"1.0";
// The system's automation marshaler, which RegisterTypeLib names for every dual interface.
constexpr wchar_t kAutomationMarshaler[] = L"{00020424-0000-0000-C000-000000000046}";

KeyPath VersionKey(const KeyPath& libraryKey)
{
    KeyPath path;
    path.Set(libraryKey.Get(), kVersionText);
    return path;
}

// Whether the value of `key` (or of its `subkey`) is a string and, when `expected` is given, that
// string (in any case).
bool Holds(HKEY root, const KeyPath& key, const wchar_t* subkey, const wchar_t* name, const wchar_t* expected)
{
    KeyPath path;
    path.Set(key.Get(), subkey);
    wchar_t found[KeyPath::kCapacity * 4];
    DWORD size = sizeof(found);
    return RegGetValueW(root, path.Get(), name, RRF_RT_REG_SZ, nullptr, found, &size) == ERROR_SUCCESS &&
           (!expected || CompareStringOrdinal(found, -1, expected, -1, TRUE) == CSTR_EQUAL);
}

bool NamesThisLibrary(HKEY root, const KeyPath& interfaceKey)
{
    return Holds(root, interfaceKey, L"TypeLib", nullptr, kLibidText);
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
enum Value { kTitle, kFlags, kNoHelpDir, kModulePath, kInterfaceName, kMarshaler, kLibid, kVersion, kValueCount };

// One string value that RegisterTypeLib writes, below the library's version key or an interface's
// key. `exact`: the value is this module's own choice, so the system must have written just that;
// of the others it is enough that they are there.
struct Entry {
    const wchar_t* subkey;  // nullptr: the key itself
    const wchar_t* name;    // nullptr: the default value
    Value value;
    bool exact;
};
constexpr Entry kLibraryEntries[] = {
    {nullptr, nullptr, kTitle, false},
    {L"FLAGS", nullptr, kFlags, false},
    {L"HELPDIR", nullptr, kNoHelpDir, false},
    {L"0\\win32", nullptr, kModulePath, true},
};
constexpr Entry kInterfaceEntries[] = {
    {nullptr, nullptr, kInterfaceName, false},
    {L"ProxyStubClsid", nullptr, kMarshaler, false},
    {L"ProxyStubClsid32", nullptr, kMarshaler, false},
    {L"TypeLib", nullptr, kLibid, true},
    {L"TypeLib", L"Version", kVersion, false},
};

// Writes the entries below `key` or, when `write` is false, checks that they are in place.
HRESULT WriteOrCheck(HKEY root, bool write, const KeyPath& key, const Entry* entries, int count,
                     const wchar_t* const* values)
{
    for (const Entry* entry = entries; entry != entries + count; ++entry) {
        const wchar_t* value = values[entry->value];
        if (write) {
            if (HRESULT hr = SetString(root, key, entry->subkey, entry->name, value); FAILED(hr)) return hr;
        } else if (!Holds(root, key, entry->subkey, entry->name, entry->exact ? value : nullptr)) {
            return TYPE_E_REGISTRYACCESS;
        }
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

HRESULT RegisterTypeLibAt(HKEY root, const KeyPath& libraryKey, ITypeLib* library, wchar_t* modulePath)
{
    InterfaceKeys interfaces;
    if (HRESULT hr = ListInterfaceKeys(library, interfaces); FAILED(hr)) return hr;
    // The machine's entries are the system's to write and ours to check; the user's are ours to
    // write, with the values the system takes: the description (else the name), the flags as the
    // platform reports them, and each interface's name.
    const bool write = root != HKEY_CLASSES_ROOT;
    LibraryAttributes attributes(library);
    UniqueBstr name, description, interfaceName;
    wchar_t flags[8], noHelpDir[] = L"";  // flags: read only when written, below
    if (!write) {
        if (HRESULT hr = RegisterTypeLib(library, modulePath, noHelpDir); FAILED(hr)) return hr;
    } else {
        if (HRESULT hr = attributes.Read(); FAILED(hr)) return hr;
        _snwprintf(flags, ARRAYSIZE(flags), L"%u", attributes->wLibFlags);  // at most 5 digits, so terminated
        if (HRESULT hr = library->GetDocumentation(-1, name.Put(), description.Put(), nullptr, nullptr); FAILED(hr))
            return hr;
    }
    const wchar_t* values[kValueCount] = {Text(description.Get() ? description : name), flags, noHelpDir, modulePath,
                                          L"", kAutomationMarshaler, kLibidText, kVersionText};
    if (HRESULT hr = WriteOrCheck(root, write, VersionKey(libraryKey), kLibraryEntries,
                                  std::size(kLibraryEntries), values);
        FAILED(hr))
        return hr;
    for (int i = 0; i < interfaces.count; ++i) {
        if (write) {
            if (HRESULT hr = library->GetDocumentation(static_cast<INT>(interfaces.indexes[i]), interfaceName.Put(),
                                                       nullptr, nullptr, nullptr);
                FAILED(hr))
                return hr;
            values[kInterfaceName] = Text(interfaceName);
        }
        if (HRESULT hr = WriteOrCheck(root, write, interfaces.paths[i], kInterfaceEntries,
                                      std::size(kInterfaceEntries), values);
            FAILED(hr))
            return hr;
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
    if (HRESULT hr = DeleteTree(root, VersionKey(libraryKey).Get()); FAILED(hr)) return hr;
    // The library's own key goes only when no other version is registered under it.
    return DeleteKeyIfEmpty(root, libraryKey.Get());
}

}  // namespace quillpost
