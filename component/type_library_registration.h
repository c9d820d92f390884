// The type library's registry entries, under the machine's classes root or the user's.
//
// For the machine the system's RegisterTypeLib writes them, but it does not report every write it
// could not make, so what it wrote is checked afterwards. For the user they are written here, the
// same entries as the machine's: the system's RegisterTypeLibForUser is not per user everywhere
// (Wine 8 registers for the whole machine and only says so in a warning). They are removed by this
// module itself, so that every removal that fails is reported and a library registered at a path
// that no longer exists can still be removed.
#pragma once

#include <oaidl.h>

#include "component/key_path.h"

namespace quillpost {

// Interface\{IID} for each interface the library describes (the keys RegisterTypeLib adds), with
// the interface's index in the library.
struct InterfaceKeys {
    static constexpr int kCapacity = 4;
    KeyPath paths[kCapacity];
    UINT indexes[kCapacity] = {};
    int count = 0;
};
HRESULT ListInterfaceKeys(ITypeLib* library, InterfaceKeys& out);

// Registers the library at the module's path under `root` (HKEY_CLASSES_ROOT: the machine's) and
// checks that every entry is in place. `libraryKey` is TypeLib\{LIBID}.
HRESULT RegisterTypeLibAt(HKEY root, const KeyPath& libraryKey, ITypeLib* library, wchar_t* modulePath);

// Removes this version's entries under `root` and the interface keys that belong to this library.
HRESULT UnregisterTypeLibEntries(HKEY root, const KeyPath& libraryKey, ITypeLib* library);

}  // namespace quillpost
