// This thread's viewer window instance.
#pragma once

#include <windows.h>

namespace quillpost {

class Form1;

// Sets *out to this thread's viewer, creating the instance (not the on-screen window) if
// there is none. E_OUTOFMEMORY with *out = nullptr on failure.
HRESULT GetViewerWindow(Form1** out);

// For the module's entry point: per-process start and stop, and a thread that ends. They free
// memory only.
bool StartViewerInstances();
void ReleaseThreadViewer();
void StopViewerInstances();

}  // namespace quillpost
