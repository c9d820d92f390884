// The registry keys of the plug-in's registration as text, like an export: to compare the
// registry before and after a registration or unregistration, byte for byte.
#pragma once

#include <windows.h>

#include <string>

namespace quillpost::stress {

// Every key, value type and value byte under the keys of the class, the ProgID, the type library
// and the interface, in enumeration order: under HKEY_CLASSES_ROOT (the machine's registration) or
// another classes root.
std::string RegistrationText(HKEY root = HKEY_CLASSES_ROOT);

// All of HKEY_CURRENT_USER\Software\Classes, where a per-user registration lives, or "absent".
std::string UserClassesText();

// Makes the registration look like another copy's: its paths point elsewhere.
bool PointRegistrationElsewhere(const wchar_t* otherPath, HKEY root = HKEY_CLASSES_ROOT);

}  // namespace quillpost::stress
