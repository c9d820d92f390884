// A registry key path under a classes root in a fixed buffer: registration builds its paths
// without allocating, so that running out of memory can only ever fail a call, never end it.
#pragma once

#include <windows.h>

namespace quillpost {

struct KeyPath {
    static constexpr int kCapacity = 260;
    wchar_t text[kCapacity] = {};

    // "first\second" (or just "first"); false when it does not fit. (Out of line: one copy of
    // it, rather than one in every caller, keeps the DLL within its size.)
    bool Set(const wchar_t* first, const wchar_t* second = nullptr);
    const wchar_t* Get() const { return text; }
};

}  // namespace quillpost
