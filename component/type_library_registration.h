// The type library's registry entries, under the machine's classes key or the user's, written and
// removed by this module itself in both. The system's RegisterTypeLib writes through
// HKEY_CLASSES_ROOT, which on Windows puts a value in the user's classes whenever the user has the
// key, and it does not report every write it could not make; its RegisterTypeLibForUser is not
// per user everywhere (Wine 8 registers for the whole machine and only says so in a warning).
// Removing them here also reports every removal that fails, and removes a library registered at a
// path that no longer exists.
#pragma once

#include <oaidl.h>

#include "component/key_path.h"

namespace quillpost {

// Interface\{IID} for each interface the library describes (the keys the system registers too), with
// the interface's index in the library.
struct InterfaceKeys {
    static constexpr int kCapacity = 4;
    KeyPath paths[kCapacity];
    UINT indexes[kCapacity] = {};
    int count = 0;
};
HRESULT ListInterfaceKeys(ITypeLib* library, InterfaceKeys& out);

// Writes the entries the system's RegisterTypeLib writes for the library at the module's path, under
// `root` (an open classes key). `libraryKey` is TypeLib\{LIBID}.
HRESULT RegisterTypeLibAt(HKEY root, const KeyPath& libraryKey, ITypeLib* library, const wchar_t* modulePath);

// Removes this version's entries under `root` and the interface keys that belong to this library.
HRESULT UnregisterTypeLibEntries(HKEY root, const KeyPath& libraryKey, ITypeLib* library);

}  // namespace quillpost
