// Writes registry values under HKEY_CLASSES_ROOT so that a failed registration can be
// undone: keys it created are deleted again and values it replaced get their old data back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace quillpost {

class RegistryTransaction {
public:
    RegistryTransaction() = default;
    RegistryTransaction(const RegistryTransaction&) = delete;
    RegistryTransaction& operator=(const RegistryTransaction&) = delete;
    // Rolls back unless Commit() was called.
    ~RegistryTransaction();

    // Sets a string value (name nullptr = the key's default value), creating the key path.
    HRESULT SetString(const std::wstring& keyPath, const wchar_t* valueName, const std::wstring& data);
    void Commit() { committed_ = true; }

private:
    struct PreviousValue {
        std::wstring keyPath;
        std::wstring valueName;  // empty = default value
        bool existed = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };

    HRESULT CreateKeyPath(const std::wstring& keyPath, HKEY* key);
    HRESULT Remember(HKEY key, const std::wstring& keyPath, const wchar_t* valueName);
    void Rollback();

    std::vector<std::wstring> createdKeys_;
    std::vector<PreviousValue> previousValues_;
    bool committed_ = false;
};

}  // namespace quillpost
