// Defines (once) the identifiers that the generated interface header only declares. widl's header
// declares them with DEFINE_GUID, which <initguid.h> turns into definitions; midl writes the
// definitions into a file of their own instead.
#if defined(QUILLPOST_IDL_FROM_MIDL)
#include "quillpost_idl_i.c"
#else
#include <initguid.h>

#include "quillpost_idl.h"
#endif
