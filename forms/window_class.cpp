#include "forms/window_class.h"

#include <iterator>

#include "core/locks.h"
#include "core/module.h"

namespace quillpost {
namespace {

// Few classes exist (the two forms and the picture area); a fixed table needs no allocation.
constexpr int kMaxClasses = 8;

SRWLOCK g_lock = SRWLOCK_INIT;
const wchar_t* g_registered[kMaxClasses] = {};
int g_count = 0;

bool IsRegisteredHere(const wchar_t* name)
{
    for (int i = 0; i < g_count; ++i) {
        if (lstrcmpW(g_registered[i], name) == 0) return true;
    }
    return false;
}

HRESULT Register(const WindowClassRow& row)
{
    WNDCLASSEXW windowClass{sizeof(windowClass)};
    windowClass.lpfnWndProc = row.procedure;
    windowClass.hInstance = ModuleInstance();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = row.background;
    windowClass.lpszClassName = row.name;
    if (RegisterClassExW(&windowClass)) return S_OK;
    if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return HRESULT_FROM_WIN32(GetLastError());
    UnregisterClassW(row.name, ModuleInstance());  // left by an earlier load, pointing at code that is gone
    return RegisterClassExW(&windowClass) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

}  // namespace

HRESULT EnsureWindowClass(const WindowClassRow& row)
{
    SrwExclusive registering(g_lock);
    if (IsRegisteredHere(row.name)) return S_OK;
    const HRESULT hr = g_count < static_cast<int>(std::size(g_registered)) ? Register(row) : E_OUTOFMEMORY;
    if (SUCCEEDED(hr)) g_registered[g_count++] = row.name;
    return hr;
}

void UnregisterWindowClasses()
{
    SrwExclusive unregistering(g_lock);
    while (g_count > 0) UnregisterClassW(g_registered[--g_count], ModuleInstance());
}

}  // namespace quillpost
