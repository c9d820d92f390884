// Each apartment (thread) that uses the component has its own pair of window instances,
// created on first use and kept until the thread ends or the module unloads.
#pragma once

#include <windows.h>

namespace quillpost {

class Form1;
class Form2;

// Set *out to this apartment's viewer or About window, creating the instance (not the
// on-screen window) if there is none. E_OUTOFMEMORY with *out = nullptr on failure.
HRESULT GetViewerWindow(Form1** out);
HRESULT GetAboutWindow(Form2** out);

bool StartApartments();
void ReleaseThisApartment();
void StopApartments();

}  // namespace quillpost
