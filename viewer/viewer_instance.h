// This thread's viewer window instance.
#pragma once

#include <windows.h>

namespace quillpost {

class Form1;

// Sets *out to this thread's viewer, creating the instance (not the on-screen window) if
// there is none. E_OUTOFMEMORY with *out = nullptr on failure.
HRESULT GetViewerWindow(Form1** out);

// Offers a keyboard message to this thread's viewer, if it has one (accelerator_hook.h); true
// when the page has used it.
bool TranslateViewerAccelerator(MSG& message);

// For the module's entry point: a thread that ends, and the module freed. They free
// memory only.
void ReleaseThreadViewer();
void StopViewerInstances();

}  // namespace quillpost
