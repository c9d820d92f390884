#include "host/activation_context.h"

namespace quillpost::host {

bool IsDllPath(const std::wstring& plugin)
{
    return plugin.size() > 4 && CompareStringOrdinal(plugin.c_str() + plugin.size() - 4, 4, L".dll", 4, TRUE) == CSTR_EQUAL;
}

ActivationContext::~ActivationContext()
{
    if (cookie_) DeactivateActCtx(0, cookie_);
    if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
}

HRESULT ActivationContext::Activate(const std::wstring& path)
{
    // The context keeps the path it was made from: make it absolute, as the manifest's <file>
    // is found beside it.
    wchar_t full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameW(path.c_str(), ARRAYSIZE(full), full, nullptr);
    if (length == 0 || length >= ARRAYSIZE(full)) return HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME);
    path_ = full;
    ACTCTXW description{sizeof(description)};
    description.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    description.lpSource = path_.c_str();
    description.lpResourceName = MAKEINTRESOURCEW(1);
    context_ = CreateActCtxW(&description);
    if (context_ == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
    if (!ActivateActCtx(context_, &cookie_)) return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

}  // namespace quillpost::host
