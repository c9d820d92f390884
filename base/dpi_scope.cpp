#include "base/dpi_scope.h"

namespace quillpost {

DpiUnawareScope::DpiUnawareScope()
{
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32) return;
    set_ = reinterpret_cast<SetContext>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetThreadDpiAwarenessContext")));
    if (set_) previous_ = set_(DPI_AWARENESS_CONTEXT_UNAWARE);
}

DpiUnawareScope::~DpiUnawareScope()
{
    if (set_ && previous_) set_(previous_);
}

}  // namespace quillpost
