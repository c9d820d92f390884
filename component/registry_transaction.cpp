#include "component/registry_transaction.h"

#include <new>

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
    if (committed_) return;
    // Restoring reads the keys again; out of memory it stops, with a second try, rather than
    // throw out of a destructor.
    for (int attempt = 0; attempt < 2; ++attempt) {
#if __cpp_exceptions
        try {
            Restore();
            return;
        } catch (const std::bad_alloc&) {
        }
#else
        Restore();
        return;
#endif
    }
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
    // A step of the restore that fails (the registry is busy, memory is short) gets one more try.
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        const std::wstring& path = it->tree.name;
        for (int attempt = 0; attempt < 2 && !StillAsSaved(path, it->existed, it->tree); ++attempt)
            WriteRegistryTree(HKEY_CLASSES_ROOT, path, it->existed, it->tree);
    }
}

}  // namespace quillpost
