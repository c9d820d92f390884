#include "component/registry_transaction.h"

#include "base/raii.h"

namespace quillpost {

RegistryTransaction::~RegistryTransaction()
{
    if (!committed_) Rollback();
}

HRESULT RegistryTransaction::CreateKeyPath(const std::wstring& keyPath, HKEY* key)
{
    // Create one level at a time so that exactly the keys this call adds are known.
    std::size_t end = 0;
    for (;;) {
        end = keyPath.find(L'\\', end + 1);
        const std::wstring level = keyPath.substr(0, end);
        HKEY opened = nullptr;
        DWORD disposition = 0;
        LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, level.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_READ | KEY_WRITE, nullptr, &opened, &disposition);
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
        if (disposition == REG_CREATED_NEW_KEY) createdKeys_.push_back(level);
        if (end == std::wstring::npos) {
            *key = opened;
            return S_OK;
        }
        RegCloseKey(opened);
    }
}

HRESULT RegistryTransaction::Remember(HKEY key, const std::wstring& keyPath, const wchar_t* valueName)
{
    PreviousValue previous{keyPath, valueName ? valueName : L""};
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, valueName, nullptr, &previous.type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        previousValues_.push_back(std::move(previous));
        return S_OK;
    }
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    previous.existed = true;
    previous.data.resize(size);
    status = RegQueryValueExW(key, valueName, nullptr, &previous.type, previous.data.data(), &size);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    previous.data.resize(size);
    previousValues_.push_back(std::move(previous));
    return S_OK;
}

HRESULT RegistryTransaction::SetString(const std::wstring& keyPath, const wchar_t* valueName,
                                       const std::wstring& data)
{
    UniqueHkey key;
    if (HRESULT hr = CreateKeyPath(keyPath, key.Put()); FAILED(hr)) return hr;
    if (HRESULT hr = Remember(key.Get(), keyPath, valueName); FAILED(hr)) return hr;
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));  // with the NUL
    LSTATUS status = RegSetValueExW(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                    bytes);
    return HRESULT_FROM_WIN32(status);
}

void RegistryTransaction::Rollback()
{
    // Values first, newest first, then the keys this transaction created, deepest first.
    for (auto it = previousValues_.rbegin(); it != previousValues_.rend(); ++it) {
        UniqueHkey key;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, it->keyPath.c_str(), 0, KEY_WRITE, key.Put()) != ERROR_SUCCESS) continue;
        const wchar_t* name = it->valueName.empty() ? nullptr : it->valueName.c_str();
        if (it->existed) {
            RegSetValueExW(key.Get(), name, 0, it->type, it->data.data(), static_cast<DWORD>(it->data.size()));
        } else {
            RegDeleteValueW(key.Get(), name);
        }
    }
    for (auto it = createdKeys_.rbegin(); it != createdKeys_.rend(); ++it) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, it->c_str());
    }
}

}  // namespace quillpost
