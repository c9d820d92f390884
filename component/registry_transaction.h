// Keeps copies of the registry keys under one classes root (the machine's or the user's) that a
// registration or an unregistration may touch, so that a change that fails part way leaves them
// as they were: whatever was written, by this module or by the system on its behalf, is taken back.
#pragma once

#include <windows.h>

#include "component/key_path.h"
#include "component/registry_snapshot.h"

namespace quillpost {

class RegistryTransaction {
public:
    explicit RegistryTransaction(HKEY root) : root_(root) {}
    RegistryTransaction(const RegistryTransaction&) = delete;
    RegistryTransaction& operator=(const RegistryTransaction&) = delete;
    // Puts every saved key back as it was, unless Commit() was called.
    ~RegistryTransaction();

    // Copies the key at `path` with everything below it (or notes that it does not exist).
    // Call before the change; a failure means the key cannot be guarded, so do not change it.
    HRESULT Save(const KeyPath& path);
    void Commit() { committed_ = true; }

private:
    struct SavedKey {
        KeyPath path;
        RegistrySnapshot copy;
    };
    static constexpr int kMaxKeys = 8;

    void Restore();

    HKEY root_;
    SavedKey saved_[kMaxKeys];
    int count_ = 0;
    bool committed_ = false;
};

}  // namespace quillpost
