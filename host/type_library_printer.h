// Prints a plug-in's type library as IDL-like text: what a host will find when it calls by name.
#pragma once

#include <oaidl.h>

#include <cstdio>

namespace quillpost::host {

HRESULT PrintTypeLibrary(ITypeLib* library, std::FILE* out);

}  // namespace quillpost::host
