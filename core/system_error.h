// The system's own words for a failure, for messages that people read.
#pragma once

#include <windows.h>

#include "core/bounded_text.h"

namespace quillpost {

using SystemErrorMessage = BoundedText<512>;

// The system message for `failure` (a Win32 error wrapped in an HRESULT is looked up by its
// code), without the trailing line break; "Error 0x…" when the system has no text for it.
// Allocates nothing, so it also describes a failure to allocate.
SystemErrorMessage SystemErrorText(HRESULT failure);

}  // namespace quillpost
