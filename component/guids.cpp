// Defines (once) the identifiers that the generated interface header only declares.
#include <initguid.h>

#include "quillpost_idl.h"
