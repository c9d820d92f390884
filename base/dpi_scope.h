// Windows created inside this scope are DPI-unaware: on a high-DPI display the system
// scales the whole window as one picture, so the skin, the controls and the font stay aligned
// at every DPI. The window core creates both forms inside it.
// Only this thread's context changes, and only for the scope; the host's process-wide
// awareness is never touched.
#pragma once

#include <windows.h>

namespace quillpost {

class DpiUnawareScope {
public:
    DpiUnawareScope();
    DpiUnawareScope(const DpiUnawareScope&) = delete;
    DpiUnawareScope& operator=(const DpiUnawareScope&) = delete;
    ~DpiUnawareScope();

private:
    using SetContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
    SetContext set_ = nullptr;  // absent before Windows 10 1607, where there is nothing to do
    DPI_AWARENESS_CONTEXT previous_ = nullptr;
};

}  // namespace quillpost
