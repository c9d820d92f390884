#include "component/registry_transaction.h"

namespace quillpost {
namespace {

// A key that still matches its copy is left alone, so its flags (volatile, security) stay too.
bool StillAsSaved(const std::wstring& path, bool existed, const RegistryTree& saved)
{
    RegistryTree now;
    const HRESULT hr = ReadRegistryTree(HKEY_CLASSES_ROOT, path, now);
    if (FAILED(hr)) return false;
    return (hr == S_OK) == existed && now == saved;
}

}  // namespace

RegistryTransaction::~RegistryTransaction()
{
    if (!committed_) Restore();
}

HRESULT RegistryTransaction::Save(const std::wstring& path)
{
    SavedKey key;
    const HRESULT hr = ReadRegistryTree(HKEY_CLASSES_ROOT, path, key.tree);
    if (FAILED(hr)) return hr;
    key.existed = hr == S_OK;
    saved_.push_back(std::move(key));
    return S_OK;
}

void RegistryTransaction::Restore()
{
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        const std::wstring& path = it->tree.name;
        if (StillAsSaved(path, it->existed, it->tree)) continue;
        WriteRegistryTree(HKEY_CLASSES_ROOT, path, it->existed, it->tree);
    }
}

}  // namespace quillpost
