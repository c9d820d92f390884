// Quillpost.dll as a guest: it carries no more of the C++ runtime than its code calls, and
// loading and unloading it, again and again, leaves nothing behind in the host process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/com_test.h"
#include "support/dispatch.h"
#include "support/module.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

constexpr wchar_t kDllName[] = L"Quillpost.dll";

std::vector<char> FileBytes(const std::wstring& path)
{
    std::vector<char> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

bool Contains(const std::vector<char>& bytes, std::string_view text)
{
    return std::string_view(bytes.data(), bytes.size()).find(text) != std::string_view::npos;
}

long long CommittedPrivateBytes()
{
    long long total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (auto* at = static_cast<BYTE*>(nullptr); VirtualQuery(at, &region, sizeof(region)) == sizeof(region);
         at = static_cast<BYTE*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    }
    return total;
}

// The next TLS slot the process would hand out: it moves on when an unload leaves a slot taken.
DWORD NextTlsSlot()
{
    const DWORD slot = TlsAlloc();
    TlsFree(slot);
    return slot;
}

// The plug-in's own work (two windows with their keyboard and accessibility, the skin at any DPI,
// the page's guard, dispatch, registration, the lifetime rules) fits in 96 KiB; the C++ runtime's
// terminate handler and name demangler alone are more.
TEST(GuestRuntime, TheDllIsSmallAndHoldsNoTerminateHandler)
{
    const std::wstring path = PluginModule().Path();
    const std::vector<char> bytes = FileBytes(path);
    ASSERT_FALSE(bytes.empty());
    EXPECT_LE(bytes.size(), 96u * 1024u);
    // The verbose terminate handler (and the name demangler it needs) come with exceptions.
    EXPECT_FALSE(Contains(bytes, "terminate called"));
}

TEST(GuestRuntime, LoadingAndUnloadingLeavesNothingBehind)
{
    ASSERT_EQ(nullptr, GetModuleHandleW(kDllName)) << "the test needs the DLL not yet loaded";
    auto cycle = [] {
        HMODULE module = LoadLibraryW(kDllName);
        if (!module) return false;
        FreeLibrary(module);
        return GetModuleHandleW(kDllName) == nullptr;
    };
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(cycle());  // what the first loads set up for good
    const DWORD slot = NextTlsSlot();
    const long long memory = CommittedPrivateBytes();
    constexpr int kCycles = 200;
    for (int i = 0; i < kCycles; ++i) ASSERT_TRUE(cycle()) << "cycle " << i;
    EXPECT_EQ(slot, NextTlsSlot());
    // A page or two of heap may settle differently; 200 unloads that each kept a little would not.
    EXPECT_LT(CommittedPrivateBytes() - memory, 64 * 1024);
}

// One apartment of a race: creates the plug-in, waits for the start, then shows its first viewer.
struct Racer {
    HANDLE start = nullptr;
    HRESULT initialized = E_FAIL;
    bool hasViewer = false;
};

DWORD WINAPI ShowFirstViewerAtTheStart(void* parameter)
{
    auto* racer = static_cast<Racer*>(parameter);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    {
        CLSID clsid{};
        ComPtr<IDispatch> sample;
        if (SUCCEEDED(CLSIDFromProgID(kProgId, &clsid)) &&
            SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&sample)))) {
            WaitForSingleObject(racer->start, INFINITE);
            Variant version(6L), email(L"race@quillpost.example"), messenger(static_cast<IDispatch*>(nullptr));
            racer->initialized = Call(sample.Get(), L"Initialize", {&version, &email, &messenger}).hr;
            for (HWND window : FindTopLevelWindows(L"Form1"))
                racer->hasViewer |= GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
        }
        CloseProcessWindows();
    }
    CoUninitialize();
    return 0;
}

// The DLL's first function-local statics (its window classes) are reached by several apartments
// at once: each must still find them set up exactly once.
TEST(GuestRuntime, ApartmentsShowingTheirFirstViewerAtOnceEachGetOne)
{
    ASSERT_EQ(nullptr, GetModuleHandleW(kDllName)) << "the test needs the DLL not yet loaded";
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, start);
    constexpr int kApartments = 4;
    Racer racers[kApartments];
    HANDLE threads[kApartments] = {};
    for (int i = 0; i < kApartments; ++i) {
        racers[i].start = start;
        threads[i] = CreateThread(nullptr, 0, ShowFirstViewerAtTheStart, &racers[i], 0, nullptr);
        ASSERT_NE(nullptr, threads[i]);
    }
    Sleep(200);  // every apartment has its object and waits at the start
    SetEvent(start);
    for (int i = 0; i < kApartments; ++i) {
        EXPECT_TRUE(WaitPumping(threads[i]));
        CloseHandle(threads[i]);
        EXPECT_EQ(S_OK, racers[i].initialized) << "apartment " << i;
        EXPECT_TRUE(racers[i].hasViewer) << "apartment " << i;
    }
    CloseHandle(start);
}

}  // namespace
}  // namespace quillpost::testing
