// The type library's registry entries. The system's RegisterTypeLib writes them, but it does
// not report every write it could not make, so what it wrote is checked afterwards. They are
// removed by this module itself, so that every removal that fails is reported and a library
// registered at a path that no longer exists can still be removed.
#pragma once

#include <oaidl.h>

#include "component/key_path.h"

namespace quillpost {

// Interface\{IID} for each interface the library describes: the keys RegisterTypeLib adds.
struct InterfaceKeys {
    static constexpr int kCapacity = 4;
    KeyPath paths[kCapacity];
    int count = 0;
};
HRESULT ListInterfaceKeys(ITypeLib* library, InterfaceKeys& out);

// Registers the library at the module's path and checks that every entry is in place.
HRESULT RegisterTypeLibAt(ITypeLib* library, wchar_t* modulePath);

// Removes this version's entries and the interface keys that belong to this library.
HRESULT UnregisterTypeLibEntries(ITypeLib* library);

}  // namespace quillpost
