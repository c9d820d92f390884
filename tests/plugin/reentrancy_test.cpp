// Calls that arrive while a window is being loaded: host code run from inside the load (here
// a message hook, as any pump would run it) gets a defined answer, sees its own DPI context,
// and cannot change the outer call's result or leave a half-built window.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/guest_test.h"
#include "support/dispatch.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

constexpr wchar_t kLoadedHeading[] = L"Viewing Tallowchat Forum Latests";
constexpr wchar_t kStillLoading[] = L"is still loading or closing";

// Runs `action` once, from inside the first message that `when` picks on this thread.
std::function<bool(const CWPSTRUCT&)> g_when;
std::function<void(HWND)> g_action;

LRESULT CALLBACK RunOnceInside(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (g_action && g_when(*message)) {
        auto action = std::exchange(g_action, nullptr);
        action(message->hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool IsLoadedHeadingBeingSet(const CWPSTRUCT& message)
{
    return message.message == WM_SETTEXT && message.lParam &&
           std::wstring(reinterpret_cast<const wchar_t*>(message.lParam)) == kLoadedHeading;
}

bool IsAboutControlGettingItsFont(const CWPSTRUCT& message)
{
    return message.message == WM_SETFONT && WindowText(GetAncestor(message.hwnd, GA_ROOT)) == L"About";
}

class Reentrancy : public SampleTest<> {
protected:
    void SetUp() override
    {
        SampleTest::SetUp();
        if (HasFatalFailure()) return;
        hook_ = SetWindowsHookExW(WH_CALLWNDPROC, RunOnceInside, nullptr, GetCurrentThreadId());
        ASSERT_NE(nullptr, hook_);
    }
    void TearDown() override
    {
        UnhookWindowsHookEx(hook_);
        g_action = nullptr;
        SampleTest::TearDown();
    }

    CallResult Initialize(const wchar_t* email)
    {
        Variant version(6L), address(email), messenger(static_cast<IDispatch*>(nullptr));
        return Call(sample_.Get(), L"Initialize", {&version, &address, &messenger});
    }

    HHOOK hook_ = nullptr;
};

TEST_F(Reentrancy, AShowDuringTheViewersLoadIsToldItIsStillLoadingAndTheOuterShowCompletes)
{
    HRESULT nested = S_OK;
    std::wstring nestedDescription;
    g_when = IsLoadedHeadingBeingSet;
    g_action = [&](HWND) {
        const CallResult call = Initialize(L"nested@quillpost.example");
        nested = call.hr;
        nestedDescription = call.description;
    };
    const CallResult outer = Initialize(L"outer@quillpost.example");
    ASSERT_EQ(nullptr, g_action) << "the load steps never ran";
    EXPECT_EQ(DISP_E_EXCEPTION, nested);
    EXPECT_NE(std::wstring::npos, nestedDescription.find(kStillLoading))
        << "description: " << ::testing::PrintToString(nestedDescription);
    ASSERT_EQ(S_OK, outer.hr);
    HWND viewer = ThisThreadsWindow(L"Form1");
    ASSERT_NE(nullptr, viewer);
    EXPECT_TRUE(IsWindowVisible(viewer));
    EXPECT_EQ(1u, FindChildWindows(viewer, L"Static").size());
    EXPECT_EQ(1u, FindChildWindows(viewer, L"Shell Embedding").size());
    EXPECT_EQ(L"outer@quillpost.example Is Viewing Tallowchat Latest Posts",
              WindowText(FindChildWindows(viewer, L"Static").front()));
}

TEST_F(Reentrancy, ACloseDuringTheViewersLoadIsCarriedOutAfterItAndTheShowSucceeds)
{
    g_when = IsLoadedHeadingBeingSet;
    g_action = [](HWND heading) { SendMessageW(GetAncestor(heading, GA_ROOT), WM_CLOSE, 0, 0); };
    EXPECT_EQ(S_OK, Initialize(L"outer@quillpost.example").hr);
    ASSERT_EQ(nullptr, g_action);
    EXPECT_TRUE(PumpUntil([] { return FindTopLevelWindows(L"Form1").empty(); }));
    sample_.Reset();
    EXPECT_TRUE(PumpUntil([] { return CanUnloadNowOfLoadedModule() == S_OK; }));
}

TEST_F(Reentrancy, HostCodeRunDuringTheLoadStepsKeepsTheHostsDpiContext)
{
    using SetContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
    using GetContext = DPI_AWARENESS_CONTEXT(WINAPI*)();
    using ContextsEqual = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto set = reinterpret_cast<SetContext>(reinterpret_cast<void*>(GetProcAddress(user32, "SetThreadDpiAwarenessContext")));
    auto get = reinterpret_cast<GetContext>(reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
    auto equal = reinterpret_cast<ContextsEqual>(reinterpret_cast<void*>(GetProcAddress(user32, "AreDpiAwarenessContextsEqual")));
    if (!set || !get || !equal) GTEST_SKIP() << "no per-thread DPI awareness here";
    DPI_AWARENESS_CONTEXT before = set(DPI_AWARENESS_CONTEXT_SYSTEM_AWARE);
    bool hostContextInside = false;
    g_when = IsLoadedHeadingBeingSet;
    g_action = [&](HWND) { hostContextInside = equal(get(), DPI_AWARENESS_CONTEXT_SYSTEM_AWARE) != FALSE; };
    const HRESULT hr = Initialize(L"outer@quillpost.example").hr;
    set(before);
    ASSERT_EQ(S_OK, hr);
    ASSERT_EQ(nullptr, g_action);
    EXPECT_TRUE(hostContextInside);
}

TEST_F(Reentrancy, AConfigureDuringTheAboutWindowsLoadIsToldItIsStillLoading)
{
    HRESULT nested = S_OK;
    std::wstring nestedDescription;
    g_when = IsAboutControlGettingItsFont;
    g_action = [&](HWND) {
        const CallResult call = Call(sample_.Get(), L"Configure", {});
        nested = call.hr;
        nestedDescription = call.description;
    };
    const CallResult outer = Call(sample_.Get(), L"Configure", {});
    ASSERT_EQ(nullptr, g_action);
    EXPECT_EQ(DISP_E_EXCEPTION, nested);
    EXPECT_NE(std::wstring::npos, nestedDescription.find(kStillLoading));
    ASSERT_EQ(S_OK, outer.hr);
    HWND about = ThisThreadsWindow(L"About");
    ASSERT_NE(nullptr, about);
    EXPECT_TRUE(IsWindowVisible(about));
    EXPECT_EQ(6u, FindChildWindows(about, nullptr).size());
}

}  // namespace
}  // namespace quillpost::testing
