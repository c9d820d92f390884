// The plug-in as a guest: its windows end where COM still works and no loader lock is held, the
// module is never freed under a window, and nothing of it is left behind when it is.
#include <gtest/gtest.h>

#include <string>

#include "core/guest_test.h"
#include "support/dispatch.h"
#include "support/module.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

constexpr const wchar_t* kWindowClasses[] = {L"QuillpostViewer", L"QuillpostPicture", L"QuillpostAbout"};

// Records whether any window of the plug-in received WM_DESTROY while its thread held the
// loader lock, i.e. from inside a DLL's entry point.
bool g_destroyedUnderLoaderLock = false;
int g_destroyedWindows = 0;

LRESULT CALLBACK WatchDestruction(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    const HMODULE plugin = GetModuleHandleW(L"Quillpost.dll");
    if (message->message == WM_DESTROY && plugin &&
        reinterpret_cast<HMODULE>(GetWindowLongPtrW(message->hwnd, GWLP_HINSTANCE)) == plugin) {
        ++g_destroyedWindows;
        if (HoldsLoaderLock()) g_destroyedUnderLoaderLock = true;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class GuestLifetime : public ComTest {};

TEST_F(GuestLifetime, AThreadsFinalCoUninitializeClosesItsWindowsBeforeItReturns)
{
    PluginModule module;  // keeps the module loaded for the unload query after the thread's COM is gone
    HWND viewer = nullptr, about = nullptr;
    bool openedBoth = false, viewerLeft = true, aboutLeft = true;
    ASSERT_TRUE(RunOnThread([&] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchDestruction, nullptr, GetCurrentThreadId());
        openedBoth = OpenBothWindows(CreateByProgId().Get(), &viewer, &about);
        CoUninitialize();
        viewerLeft = IsWindow(viewer) != FALSE;
        aboutLeft = IsWindow(about) != FALSE;
        UnhookWindowsHookEx(hook);
    }));
    g_destroyedUnderLoaderLock = false;
    ASSERT_TRUE(openedBoth);
    EXPECT_FALSE(viewerLeft) << "the viewer outlived its thread's COM";
    EXPECT_FALSE(aboutLeft) << "the About window outlived its thread's COM";
    EXPECT_TRUE(PumpUntil([&] { return module.CanUnloadNow() == S_OK; }));
}

TEST_F(GuestLifetime, AThreadThatEndsWithoutCoUninitializeIsNotTornDownUnderTheLoaderLock)
{
    g_destroyedUnderLoaderLock = false;
    g_destroyedWindows = 0;
    HWND viewer = nullptr, about = nullptr;
    bool openedBoth = false;
    ASSERT_TRUE(RunOnThread([&] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
        SetWindowsHookExW(WH_CALLWNDPROC, WatchDestruction, nullptr, GetCurrentThreadId());
        openedBoth = OpenBothWindows(CreateByProgId().Get(), &viewer, &about);
        // Ends with both windows open and its apartment never left.
    }));
    ASSERT_TRUE(openedBoth);
    EXPECT_FALSE(g_destroyedUnderLoaderLock);
    EXPECT_FALSE(IsWindow(viewer));
    EXPECT_FALSE(IsWindow(about));
    // The host goes on: this thread still gets working windows.
    ComPtr<IDispatch> sample = CreateSample();
    HWND ownViewer = nullptr, ownAbout = nullptr;
    EXPECT_TRUE(OpenBothWindows(sample.Get(), &ownViewer, &ownAbout));
}

TEST_F(GuestLifetime, AHostsOwnFreeLibraryCannotUnmapTheCodeOfOpenWindows)
{
    HMODULE module = nullptr;
    const GetClassObject getClassObject = LoadByHand(&module);
    ASSERT_NE(nullptr, getClassObject);

    HANDLE freed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool openedBoth = false, survived = false;
    HWND viewer = nullptr, about = nullptr;
    std::function<void()> guestThread = [&] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
        openedBoth = OpenBothThrough(getClassObject, &viewer, &about);
        // Only the windows are left when the host lets go of the module.
        SetEvent(freed);
        WaitForSingleObject(freed, INFINITE);
        PumpMessages(100);
        RedrawWindow(viewer, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        SendMessageW(about, WM_CLOSE, 0, 0);
        SendMessageW(viewer, WM_CLOSE, 0, 0);
        PumpMessages(100);
        survived = true;
        CoUninitialize();
    };
    HANDLE thread = StartThread(&guestThread);
    ASSERT_NE(nullptr, thread);
    ASSERT_TRUE(WaitPumping(freed, 30000));
    ResetEvent(freed);
    FreeLibrary(module);
    SetEvent(freed);
    EXPECT_TRUE(WaitPumping(thread, 30000));
    CloseHandle(thread);
    CloseHandle(freed);
    EXPECT_TRUE(openedBoth);
    EXPECT_TRUE(survived);
    EXPECT_TRUE(WaitUntilModuleIsGone()) << "the windows' hold on the module was not given back";
}

// Windows ending at once on several threads give back the only references the module has left:
// each must be dropped once, after its thread has left the module, and the module then goes.
TEST_F(GuestLifetime, WindowsEndingTogetherOnSeveralThreadsLetTheModuleGoOnceAllHaveLeft)
{
    constexpr int kThreads = 4;
    HMODULE module = nullptr;
    const GetClassObject getClassObject = LoadByHand(&module);
    ASSERT_NE(nullptr, getClassObject);

    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    LONG opened = 0, ended = 0;
    std::function<void()> guestThread = [&] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
        HWND viewer = nullptr, about = nullptr;
        if (OpenBothThrough(getClassObject, &viewer, &about)) InterlockedIncrement(&opened);
        WaitPumping(go);  // its windows answer the others' activations meanwhile
        CoUninitialize();  // closes both windows, all threads at once
        if (!IsWindow(viewer) && !IsWindow(about)) InterlockedIncrement(&ended);
    };
    HANDLE threads[kThreads] = {};
    for (HANDLE& thread : threads) thread = StartThread(&guestThread);
    const bool allOpened = PumpUntil([&] { return InterlockedCompareExchange(&opened, 0, 0) == kThreads; }, 30000);
    if (allOpened) FreeLibrary(module);  // only the windows hold the module now
    SetEvent(go);
    for (HANDLE thread : threads) {
        EXPECT_TRUE(WaitPumping(thread, 30000));
        CloseHandle(thread);
    }
    CloseHandle(go);
    if (!allOpened) FreeLibrary(module);
    ASSERT_TRUE(allOpened);
    EXPECT_EQ(kThreads, ended);
    EXPECT_TRUE(WaitUntilModuleIsGone()) << "a reference given back was never dropped";
}

TEST_F(GuestLifetime, UnloadingLeavesNoWindowClassAndALaterLoadWorksAgain)
{
    HINSTANCE loaded = nullptr;
    {
        ComPtr<IDispatch> sample = CreateSample();
        HWND viewer = nullptr, about = nullptr;
        ASSERT_TRUE(OpenBothWindows(sample.Get(), &viewer, &about));
        EXPECT_EQ(nullptr, GetModuleHandleW(L"oleacc.dll")) << "loaded though no screen reader asked";
        loaded = GetModuleHandleW(L"Quillpost.dll");
        SendMessageW(about, WM_CLOSE, 0, 0);
        SendMessageW(viewer, WM_CLOSE, 0, 0);
    }
    ASSERT_TRUE(PumpUntil([] { return CanUnloadNowOfLoadedModule() == S_OK; }));
    CoFreeUnusedLibrariesEx(0, 0);
    ASSERT_TRUE(WaitUntilModuleIsGone());
    for (const wchar_t* name : kWindowClasses) {
        WNDCLASSEXW info{sizeof(info)};
        EXPECT_FALSE(GetClassInfoExW(loaded, name, &info)) << "left registered: " << ::testing::PrintToString(name);
    }
    ComPtr<IDispatch> again = CreateSample();
    HWND viewer = nullptr, about = nullptr;
    EXPECT_TRUE(OpenBothWindows(again.Get(), &viewer, &about));
}

}  // namespace
}  // namespace quillpost::testing
