#include "component/registry_transaction.h"

namespace quillpost {
namespace {

// A key that still matches its copy is left alone, so its flags (volatile, security) stay too.
// When memory is too short to tell, it is written back.
bool StillAsSaved(HKEY root, const KeyPath& path, const RegistrySnapshot& saved)
{
    RegistrySnapshot now;
    if (FAILED(now.Read(root, path.Get()))) return false;
    return now.SameAs(saved);
}

}  // namespace

RegistryTransaction::~RegistryTransaction()
{
    if (!committed_) Restore();
}

HRESULT RegistryTransaction::Save(const KeyPath& path)
{
    if (count_ == kMaxKeys) return E_UNEXPECTED;
    SavedKey& key = saved_[count_];
    if (HRESULT hr = key.copy.Read(root_, path.Get()); FAILED(hr)) return hr;
    key.path = path;
    ++count_;
    return S_OK;
}

void RegistryTransaction::Restore()
{
    // A step of the restore that fails (the registry is busy, memory is short) gets one more try.
    for (int i = count_ - 1; i >= 0; --i) {
        for (int attempt = 0; attempt < 2 && !StillAsSaved(root_, saved_[i].path, saved_[i].copy); ++attempt)
            saved_[i].copy.WriteBack(root_, saved_[i].path.Get());
    }
}

}  // namespace quillpost
