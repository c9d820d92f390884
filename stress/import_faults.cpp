#include "import_faults.h"

#include <oleauto.h>

#include <cstdlib>
#include <span>

namespace quillpost::stress {
namespace {

// Every function a family fails; each hook counts its own injected failures.
enum Function {
    kRegCreateKeyExW,
    kRegSetValueExW,
    kRegDeleteTreeW,
    kRegDeleteKeyW,
    kMalloc,
    kRealloc,
    kSysAllocStringLen,
    kCreateWindowExW,
    kRegisterClassExW,
    kCreateFontIndirectW,
    kCreateDIBSection,
    kCreateCompatibleDC,
    kCreateDIBPatternBrushPt,
    kCoCreateInstance,
    kFunctionCount
};

volatile LONG g_calls = 0;
volatile LONG g_failAt = 0;
volatile LONG g_fired = 0;
volatile LONG g_onward = 0;
volatile LONG g_firedBy[kFunctionCount] = {};

bool NextFails(Function function)
{
    const LONG call = InterlockedIncrement(&g_calls);
    const LONG failAt = g_failAt;
    if (failAt == 0 || call < failAt || (call > failAt && !g_onward)) return false;
    InterlockedExchange(&g_fired, 1);
    InterlockedIncrement(&g_firedBy[function]);
    return true;
}

// Registry writes fail as a key the caller may not write would fail them.
LSTATUS WINAPI FaultyRegCreateKeyExW(HKEY key, LPCWSTR path, DWORD reserved, LPWSTR keyClass, DWORD options,
                                     REGSAM access, const SECURITY_ATTRIBUTES* security, PHKEY result,
                                     LPDWORD disposition)
{
    if (NextFails(kRegCreateKeyExW)) return ERROR_ACCESS_DENIED;
    return RegCreateKeyExW(key, path, reserved, keyClass, options, access,
                           const_cast<SECURITY_ATTRIBUTES*>(security), result, disposition);
}
LSTATUS WINAPI FaultyRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                                    DWORD size)
{
    if (NextFails(kRegSetValueExW)) return ERROR_ACCESS_DENIED;
    return RegSetValueExW(key, name, reserved, type, data, size);
}
LSTATUS WINAPI FaultyRegDeleteTreeW(HKEY key, LPCWSTR path)
{
    if (NextFails(kRegDeleteTreeW)) return ERROR_ACCESS_DENIED;
    return RegDeleteTreeW(key, path);
}
LSTATUS WINAPI FaultyRegDeleteKeyW(HKEY key, LPCWSTR path)
{
    if (NextFails(kRegDeleteKeyW)) return ERROR_ACCESS_DENIED;
    return RegDeleteKeyW(key, path);
}

// Allocations fail as an exhausted heap fails them.
void* __cdecl FaultyMalloc(size_t size) { return NextFails(kMalloc) ? nullptr : std::malloc(size); }
void* __cdecl FaultyRealloc(void* block, size_t size)
{
    return NextFails(kRealloc) ? nullptr : std::realloc(block, size);
}
BSTR WINAPI FaultySysAllocStringLen(const OLECHAR* text, UINT length)
{
    return NextFails(kSysAllocStringLen) ? nullptr : SysAllocStringLen(text, length);
}

// Creation fails as it does when the desktop heap, the GDI table or a COM server gives out.
HWND WINAPI FaultyCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR name, DWORD style, int x, int y,
                                  int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    if (NextFails(kCreateWindowExW)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return CreateWindowExW(exStyle, className, name, style, x, y, width, height, parent, menu, instance, param);
}
ATOM WINAPI FaultyRegisterClassExW(const WNDCLASSEXW* windowClass)
{
    if (NextFails(kRegisterClassExW)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return RegisterClassExW(windowClass);
}
HFONT WINAPI FaultyCreateFontIndirectW(const LOGFONTW* font)
{
    return NextFails(kCreateFontIndirectW) ? nullptr : CreateFontIndirectW(font);
}
HBITMAP WINAPI FaultyCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                      DWORD offset)
{
    if (NextFails(kCreateDIBSection)) return nullptr;
    return CreateDIBSection(dc, info, usage, bits, section, offset);
}
HDC WINAPI FaultyCreateCompatibleDC(HDC dc)
{
    return NextFails(kCreateCompatibleDC) ? nullptr : CreateCompatibleDC(dc);
}
HBRUSH WINAPI FaultyCreateDIBPatternBrushPt(const void* packedDib, UINT usage)
{
    return NextFails(kCreateDIBPatternBrushPt) ? nullptr : CreateDIBPatternBrushPt(packedDib, usage);
}
HRESULT WINAPI FaultyCoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** out)
{
    if (NextFails(kCoCreateInstance)) {
        if (out) *out = nullptr;
        return E_OUTOFMEMORY;
    }
    return CoCreateInstance(clsid, outer, context, riid, out);
}

struct Replacement {
    Function id;
    const char* function;
    const void* hook;
};

template <typename Replaced>
const void* Hook(Replaced* function)
{
    return reinterpret_cast<const void*>(function);
}

// What the plug-in's module imports of each family, and nothing it does not. `calloc` is
// imported too, but only the C runtime calls it (for its table of exit functions, as the module
// loads): no call made after the load reaches it, so its failure could never be shown to happen.
const Replacement kRegistryWrites[] = {
    {kRegCreateKeyExW, "RegCreateKeyExW", Hook(&FaultyRegCreateKeyExW)},
    {kRegSetValueExW, "RegSetValueExW", Hook(&FaultyRegSetValueExW)},
    {kRegDeleteTreeW, "RegDeleteTreeW", Hook(&FaultyRegDeleteTreeW)},
    {kRegDeleteKeyW, "RegDeleteKeyW", Hook(&FaultyRegDeleteKeyW)},
};
const Replacement kAllocations[] = {
    {kMalloc, "malloc", Hook(&FaultyMalloc)},
    {kRealloc, "realloc", Hook(&FaultyRealloc)},
    {kSysAllocStringLen, "SysAllocStringLen", Hook(&FaultySysAllocStringLen)},
};
const Replacement kCreation[] = {
    {kCreateWindowExW, "CreateWindowExW", Hook(&FaultyCreateWindowExW)},
    {kRegisterClassExW, "RegisterClassExW", Hook(&FaultyRegisterClassExW)},
    {kCreateFontIndirectW, "CreateFontIndirectW", Hook(&FaultyCreateFontIndirectW)},
    {kCreateDIBSection, "CreateDIBSection", Hook(&FaultyCreateDIBSection)},
    {kCreateCompatibleDC, "CreateCompatibleDC", Hook(&FaultyCreateCompatibleDC)},
    {kCreateDIBPatternBrushPt, "CreateDIBPatternBrushPt", Hook(&FaultyCreateDIBPatternBrushPt)},
    {kCoCreateInstance, "CoCreateInstance", Hook(&FaultyCoCreateInstance)},
};

std::span<const Replacement> Table(FaultFamily family)
{
    switch (family) {
    case FaultFamily::RegistryWrites: return kRegistryWrites;
    case FaultFamily::Allocations: return kAllocations;
    case FaultFamily::Creation: break;
    }
    return kCreation;
}

}  // namespace

ImportFaults::ImportFaults(FaultFamily family, std::initializer_list<HMODULE> modules) : family_(family)
{
    Arm(0);
    for (volatile LONG& fired : g_firedBy) InterlockedExchange(&fired, 0);
    bool first = true;
    for (HMODULE module : modules) {
        for (const Replacement& row : Table(family)) {
            auto patch = std::make_unique<ImportPatch>(module, row.function, row.hook);
            if (first && patch->Slots() == 0) missing_ += (missing_.empty() ? "" : ", ") + std::string(row.function);
            if (patch->Slots() > 0) patches_.push_back(std::move(patch));
        }
        first = false;
    }
    if (!missing_.empty()) patches_.clear();
}

ImportFaults::~ImportFaults()
{
    patches_.clear();
    Arm(0);
}

std::vector<const char*> ImportFaults::Functions(FaultFamily family)
{
    std::vector<const char*> names;
    for (const Replacement& row : Table(family)) names.push_back(row.function);
    return names;
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

std::vector<FiredCount> ImportFaults::FiredByFunction() const
{
    std::vector<FiredCount> counts;
    for (const Replacement& row : Table(family_)) counts.push_back({row.function, g_firedBy[row.id]});
    return counts;
}

}  // namespace quillpost::stress
