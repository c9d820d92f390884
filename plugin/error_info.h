// Failures leave through COM's error object so that dispatch callers get a description.
#pragma once

#include <windows.h>

#include <string_view>

namespace quillpost {

// Sets the thread's error info for a failure of _Sample (source; description: the failed step,
// when known, then the system text of hr) and returns hr, so a failing operation can end with
// `return ReportFailure(hr);`.
HRESULT ReportFailure(HRESULT hr, std::wstring_view failedStep = {});

}  // namespace quillpost
