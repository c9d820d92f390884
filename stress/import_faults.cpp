#include "import_faults.h"

#include <oleauto.h>

#include <cstdlib>

namespace quillpost::stress {
namespace {

volatile LONG g_calls = 0;
volatile LONG g_failAt = 0;
volatile LONG g_fired = 0;
volatile LONG g_onward = 0;

bool NextFails()
{
    const LONG call = InterlockedIncrement(&g_calls);
    const LONG failAt = g_failAt;
    if (failAt == 0 || call < failAt || (call > failAt && !g_onward)) return false;
    InterlockedExchange(&g_fired, 1);
    return true;
}

// Registry writes fail as a key the caller may not write would fail them.
LSTATUS WINAPI FaultyRegCreateKeyExW(HKEY key, LPCWSTR path, DWORD reserved, LPWSTR keyClass, DWORD options,
                                     REGSAM access, const SECURITY_ATTRIBUTES* security, PHKEY result,
                                     LPDWORD disposition)
{
    if (NextFails()) return ERROR_ACCESS_DENIED;
    return RegCreateKeyExW(key, path, reserved, keyClass, options, access,
                           const_cast<SECURITY_ATTRIBUTES*>(security), result, disposition);
}
LSTATUS WINAPI FaultyRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                                    DWORD size)
{
    if (NextFails()) return ERROR_ACCESS_DENIED;
    return RegSetValueExW(key, name, reserved, type, data, size);
}
LSTATUS WINAPI FaultyRegDeleteKeyW(HKEY key, LPCWSTR path)
{
    if (NextFails()) return ERROR_ACCESS_DENIED;
    return RegDeleteKeyW(key, path);
}
LSTATUS WINAPI FaultyRegDeleteKeyExW(HKEY key, LPCWSTR path, REGSAM view, DWORD reserved)
{
    if (NextFails()) return ERROR_ACCESS_DENIED;
    return RegDeleteKeyExW(key, path, view, reserved);
}
LSTATUS WINAPI FaultyRegDeleteTreeW(HKEY key, LPCWSTR path)
{
    if (NextFails()) return ERROR_ACCESS_DENIED;
    return RegDeleteTreeW(key, path);
}
LSTATUS WINAPI FaultyRegDeleteValueW(HKEY key, LPCWSTR name)
{
    if (NextFails()) return ERROR_ACCESS_DENIED;
    return RegDeleteValueW(key, name);
}

// Allocations fail as an exhausted heap fails them.
void* __cdecl FaultyMalloc(size_t size) { return NextFails() ? nullptr : std::malloc(size); }
void* __cdecl FaultyCalloc(size_t count, size_t size) { return NextFails() ? nullptr : std::calloc(count, size); }
void* __cdecl FaultyRealloc(void* block, size_t size) { return NextFails() ? nullptr : std::realloc(block, size); }
BSTR WINAPI FaultySysAllocStringLen(const OLECHAR* text, UINT length)
{
    return NextFails() ? nullptr : SysAllocStringLen(text, length);
}
BSTR WINAPI FaultySysAllocString(const OLECHAR* text) { return NextFails() ? nullptr : SysAllocString(text); }

// Creation fails as it does when the desktop heap, the GDI table or a COM server gives out.
HWND WINAPI FaultyCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR name, DWORD style, int x, int y,
                                  int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    if (NextFails()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return CreateWindowExW(exStyle, className, name, style, x, y, width, height, parent, menu, instance, param);
}
ATOM WINAPI FaultyRegisterClassExW(const WNDCLASSEXW* windowClass)
{
    if (NextFails()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return RegisterClassExW(windowClass);
}
HFONT WINAPI FaultyCreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                               DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                               DWORD clipPrecision, DWORD quality, DWORD pitch, LPCWSTR face)
{
    if (NextFails()) return nullptr;
    return CreateFontW(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                       outPrecision, clipPrecision, quality, pitch, face);
}
HFONT WINAPI FaultyCreateFontIndirectW(const LOGFONTW* font)
{
    return NextFails() ? nullptr : CreateFontIndirectW(font);
}
HBITMAP WINAPI FaultyCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                      DWORD offset)
{
    if (NextFails()) return nullptr;
    return CreateDIBSection(dc, info, usage, bits, section, offset);
}
HDC WINAPI FaultyCreateCompatibleDC(HDC dc) { return NextFails() ? nullptr : CreateCompatibleDC(dc); }
HBRUSH WINAPI FaultyCreatePatternBrush(HBITMAP bitmap) { return NextFails() ? nullptr : CreatePatternBrush(bitmap); }
HRESULT WINAPI FaultyCoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** out)
{
    if (NextFails()) {
        if (out) *out = nullptr;
        return E_OUTOFMEMORY;
    }
    return CoCreateInstance(clsid, outer, context, riid, out);
}

struct Replacement {
    const char* function;
    const void* hook;
};

const Replacement kRegistryWrites[] = {
    {"RegCreateKeyExW", reinterpret_cast<const void*>(&FaultyRegCreateKeyExW)},
    {"RegSetValueExW", reinterpret_cast<const void*>(&FaultyRegSetValueExW)},
    {"RegDeleteKeyW", reinterpret_cast<const void*>(&FaultyRegDeleteKeyW)},
    {"RegDeleteKeyExW", reinterpret_cast<const void*>(&FaultyRegDeleteKeyExW)},
    {"RegDeleteTreeW", reinterpret_cast<const void*>(&FaultyRegDeleteTreeW)},
    {"RegDeleteValueW", reinterpret_cast<const void*>(&FaultyRegDeleteValueW)},
};
const Replacement kAllocations[] = {
    {"malloc", reinterpret_cast<const void*>(&FaultyMalloc)},
    {"calloc", reinterpret_cast<const void*>(&FaultyCalloc)},
    {"realloc", reinterpret_cast<const void*>(&FaultyRealloc)},
    {"SysAllocStringLen", reinterpret_cast<const void*>(&FaultySysAllocStringLen)},
    {"SysAllocString", reinterpret_cast<const void*>(&FaultySysAllocString)},
};
const Replacement kCreation[] = {
    {"CreateWindowExW", reinterpret_cast<const void*>(&FaultyCreateWindowExW)},
    {"RegisterClassExW", reinterpret_cast<const void*>(&FaultyRegisterClassExW)},
    {"CreateFontW", reinterpret_cast<const void*>(&FaultyCreateFontW)},
    {"CreateFontIndirectW", reinterpret_cast<const void*>(&FaultyCreateFontIndirectW)},
    {"CreateDIBSection", reinterpret_cast<const void*>(&FaultyCreateDIBSection)},
    {"CreateCompatibleDC", reinterpret_cast<const void*>(&FaultyCreateCompatibleDC)},
    {"CreatePatternBrush", reinterpret_cast<const void*>(&FaultyCreatePatternBrush)},
    {"CoCreateInstance", reinterpret_cast<const void*>(&FaultyCoCreateInstance)},
};

template <std::size_t N>
void PatchAll(const Replacement (&table)[N], HMODULE module, std::vector<std::unique_ptr<ImportPatch>>& out)
{
    for (const Replacement& row : table) out.push_back(std::make_unique<ImportPatch>(module, row.function, row.hook));
}

}  // namespace

ImportFaults::ImportFaults(FaultFamily family, std::initializer_list<HMODULE> modules)
{
    Arm(0);
    for (HMODULE module : modules) {
        switch (family) {
        case FaultFamily::RegistryWrites: PatchAll(kRegistryWrites, module, patches_); break;
        case FaultFamily::Allocations: PatchAll(kAllocations, module, patches_); break;
        case FaultFamily::Creation: PatchAll(kCreation, module, patches_); break;
        }
    }
}

ImportFaults::~ImportFaults()
{
    patches_.clear();
    Arm(0);
}

void ImportFaults::Arm(long failAt, bool onward)
{
    InterlockedExchange(&g_failAt, 0);
    InterlockedExchange(&g_onward, onward);
    InterlockedExchange(&g_failAt, failAt);
    InterlockedExchange(&g_fired, 0);
    InterlockedExchange(&g_calls, 0);
}

long ImportFaults::Calls() const { return g_calls; }
bool ImportFaults::Fired() const { return g_fired != 0; }

int ImportFaults::Slots() const
{
    int slots = 0;
    for (const auto& patch : patches_) slots += patch->Slots();
    return slots;
}

}  // namespace quillpost::stress
