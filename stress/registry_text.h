// The registry keys of the plug-in's registration as text, like an export: to compare the
// registry before and after a registration or unregistration, byte for byte.
#pragma once

#include <windows.h>

#include <string>

namespace quillpost::stress {

// Every key, value type and value byte under HKEY_CLASSES_ROOT's keys of the class, the
// ProgID, the type library and the interface, in enumeration order.
std::string RegistrationText();

// Makes the registration look like another copy's: its paths point elsewhere.
bool PointRegistrationElsewhere(const wchar_t* otherPath);

}  // namespace quillpost::stress
