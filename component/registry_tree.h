// An in-memory copy of a registry key under HKEY_CLASSES_ROOT: its values and, recursively,
// its subkeys. Read before a change, compared and written back when the change fails.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace quillpost {

struct RegistryValue {
    std::wstring name;  // empty = the key's default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    bool operator==(const RegistryValue&) const = default;
};

struct RegistryTree {
    std::wstring name;  // the key's own name; the path of a root
    std::vector<RegistryValue> values;
    std::vector<RegistryTree> subkeys;

    bool operator==(const RegistryTree&) const = default;
};

// The key at `path` and everything below it. S_FALSE with an empty tree when there is no
// such key; a failure when any part of it cannot be read.
HRESULT ReadRegistryTree(HKEY root, const std::wstring& path, RegistryTree& out);

// Makes the key at `path` hold exactly `tree` (its values and subkeys, nothing else).
// `exists` false removes the key. Restoring goes on past a failed step; the first failure is
// returned.
HRESULT WriteRegistryTree(HKEY root, const std::wstring& path, bool exists, const RegistryTree& tree);

}  // namespace quillpost
