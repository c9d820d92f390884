// A registry key path under HKEY_CLASSES_ROOT in a fixed buffer: registration builds its paths
// without allocating, so that running out of memory can only ever fail a call, never end it.
#pragma once

#include <windows.h>

#include <cwchar>

namespace quillpost {

struct KeyPath {
    static constexpr int kCapacity = 260;
    wchar_t text[kCapacity] = {};

    // "first\second" (or just "first"); false when it does not fit.
    bool Set(const wchar_t* first, const wchar_t* second = nullptr)
    {
        const int written = second ? _snwprintf(text, kCapacity, L"%ls\\%ls", first, second)
                                   : _snwprintf(text, kCapacity, L"%ls", first);
        const bool fits = written >= 0 && written < kCapacity;
        if (!fits) text[0] = L'\0';
        return fits;
    }
    const wchar_t* Get() const { return text; }
};

}  // namespace quillpost
