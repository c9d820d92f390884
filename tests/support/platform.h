// Where the tests run. A few tests change what belongs to a desktop's user -- the web browser
// control's machine-wide registration, the Internet proxy setting, the display's DPI
// (LogPixels), the real mouse and keyboard --
// or rely on where Wine keeps its programs. They run under Wine, in the private prefix and on the
// virtual display that the scripts make, and are skipped on Windows itself.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

namespace quillpost::testing {

// Wine's ntdll exports wine_get_version; Windows' does not.
inline bool UnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace quillpost::testing

// Skips the rest of the test (or of the fixture's SetUp, and so the test) outside Wine.
#define QUILLPOST_UNDER_WINE_ONLY(why)           \
    if (!::quillpost::testing::UnderWine())      \
    GTEST_SKIP() << "runs only under Wine: " << (why)
