// Writes and removals under an open classes key, the machine's or the user's own. Each one reports
// its failure, so that registration can take back what it had done; none allocates.
#pragma once

#include <windows.h>

#include "core/raii.h"
#include "component/key_path.h"

namespace quillpost {

inline HRESULT FromStatus(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }
inline constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

// Opens the key at `path` for reading and writing; `create` makes it when it is missing, else a
// missing key is kNotFound.
HRESULT OpenKey(HKEY root, const wchar_t* path, UniqueHkey& key, bool create);

// Sets a string value (nullptr: the default value) of `key`, or of its `subkey` when one is given,
// making the key when it is missing.
HRESULT SetString(HKEY root, const KeyPath& key, const wchar_t* subkey, const wchar_t* valueName,
                  const wchar_t* data);

// Removes a key with everything below it. A key that is already gone is not an error.
HRESULT DeleteTree(HKEY root, const wchar_t* path);

// Removes a key that holds nothing: no subkeys, no values. A key that still holds something, or is
// already gone, is left as it is.
HRESULT DeleteKeyIfEmpty(HKEY root, const wchar_t* path);

}  // namespace quillpost
