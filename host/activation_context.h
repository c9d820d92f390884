// A plug-in used without registration: the activation context its DLL's own manifest
// (RT_MANIFEST resource 1) describes, active on this thread while it lives.
#pragma once

#include <windows.h>

#include <string>

namespace quillpost::host {

// True for a path to a DLL rather than a ProgID or {CLSID}.
bool IsDllPath(const std::wstring& plugin);

class ActivationContext {
public:
    ActivationContext() = default;
    ActivationContext(const ActivationContext&) = delete;
    ActivationContext& operator=(const ActivationContext&) = delete;
    ~ActivationContext();

    // Creates the context from the DLL at `path` and activates it; classes, ProgIDs and the
    // type library of the DLL's manifest are found through COM until this object goes away.
    HRESULT Activate(const std::wstring& path);
    // The full path the context was made from.
    const std::wstring& Path() const { return path_; }

private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
    std::wstring path_;
};

}  // namespace quillpost::host
