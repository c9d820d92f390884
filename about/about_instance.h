// This thread's About window instance.
#pragma once

#include <windows.h>

namespace quillpost {

class Form2;

// Sets *out to this thread's About window, creating the instance (not the on-screen window) if
// there is none. E_OUTOFMEMORY with *out = nullptr on failure.
HRESULT GetAboutWindow(Form2** out);

// For the module's entry point: a thread that ends, and the module freed. They free
// memory only.
void ReleaseThreadAbout();
void StopAboutInstances();

}  // namespace quillpost
