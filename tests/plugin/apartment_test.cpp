// Apartments: each thread that uses the plug-in gets its own windows; other apartments call
// an object through the automation marshaler.
#include <gtest/gtest.h>

#include <string>

#include "support/com_test.h"
#include "support/dispatch.h"
#include "support/module.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

struct ThreadWindows {
    DWORD thread = 0;
    HWND viewer = nullptr;
    HWND about = nullptr;
};

HWND OnlyWindowOfThisThread(const wchar_t* caption)
{
    HWND found = nullptr;
    for (HWND window : FindTopLevelWindows(caption))
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) found = found ? HWND(-1) : window;
    return found;
}

struct WorkerContext {
    bool leaveOpen = false;
    ThreadWindows seen;
};

DWORD WINAPI OpenWindowsAndReport(void* parameter)
{
    auto* context = static_cast<WorkerContext*>(parameter);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    {
        CLSID clsid{};
        ComPtr<IDispatch> sample;
        if (SUCCEEDED(CLSIDFromProgID(kProgId, &clsid)) &&
            SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&sample)))) {
            Variant version(6L), email(L"thread@quillpost.example"), messenger(static_cast<IDispatch*>(nullptr));
            Call(sample.Get(), L"Initialize", {&version, &email, &messenger});
            Call(sample.Get(), L"Configure", {});
            context->seen = {GetCurrentThreadId(), OnlyWindowOfThisThread(L"Form1"), OnlyWindowOfThisThread(L"About")};
        }
    }
    if (!context->leaveOpen) CloseProcessWindows();
    CoUninitialize();
    return 0;
}

// Opens both windows from a new STA thread, reports them, and closes them before the thread
// ends unless `leaveOpen`.
ThreadWindows OpenWindowsOnAnotherThread(bool leaveOpen)
{
    WorkerContext context{leaveOpen, {}};
    HANDLE worker = CreateThread(nullptr, 0, OpenWindowsAndReport, &context, 0, nullptr);
    EXPECT_NE(nullptr, worker);
    if (!worker) return {};
    EXPECT_TRUE(WaitPumping(worker));
    CloseHandle(worker);
    return context.seen;
}

class Apartments : public ComTest {};

TEST_F(Apartments, EachThreadHasItsOwnPairOfWindows)
{
    ComPtr<IDispatch> sample = CreateSample();
    Variant version(6L), email(L"main@quillpost.example"), messenger(static_cast<IDispatch*>(nullptr));
    CallResult initialized = Call(sample.Get(), L"Initialize", {&version, &email, &messenger});
    ASSERT_EQ(S_OK, initialized.hr) << std::string(initialized.description.begin(), initialized.description.end());
    HWND mainViewer = OnlyWindowOfThisThread(L"Form1");
    ASSERT_NE(nullptr, mainViewer);

    ThreadWindows other = OpenWindowsOnAnotherThread(false);
    EXPECT_NE(nullptr, other.viewer);
    EXPECT_NE(HWND(-1), other.viewer);
    EXPECT_NE(nullptr, other.about);
    EXPECT_NE(mainViewer, other.viewer);
    EXPECT_TRUE(IsWindow(mainViewer)) << "the other apartment touched this one's viewer";
    EXPECT_FALSE(IsWindow(other.viewer));
}

TEST_F(Apartments, AThreadThatEndsWithOpenWindowsReleasesThem)
{
    PluginModule module;
    ThreadWindows other = OpenWindowsOnAnotherThread(true);
    ASSERT_NE(nullptr, other.viewer);
    EXPECT_FALSE(IsWindow(other.viewer));
    EXPECT_FALSE(IsWindow(other.about));
    EXPECT_EQ(S_OK, module.CanUnloadNow());
}

struct MarshaledCall {
    IStream* stream = nullptr;
    HRESULT result = E_FAIL;
    std::wstring name;
};

DWORD WINAPI CallFromAnotherApartment(void* parameter)
{
    auto* call = static_cast<MarshaledCall*>(parameter);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    {
        ComPtr<_Sample> proxy;
        if (SUCCEEDED(CoGetInterfaceAndReleaseStream(call->stream, IID__Sample,
                                                     reinterpret_cast<void**>(proxy.GetAddressOf())))) {
            Bstr text;
            LONG commands = 0, tags = 0;
            VARIANT_BOOL ok = VARIANT_FALSE;
            call->result = proxy->GetPublishInfo(text.InOut(), &commands, &tags, &ok);
            call->name = text.Text();
        }
    }
    CoUninitialize();
    return 0;
}

TEST_F(Apartments, OtherApartmentsCallThroughTheMarshaler)
{
    ComPtr<IDispatch> sample = CreateSample();
    MarshaledCall call;
    ASSERT_EQ(S_OK, CoMarshalInterThreadInterfaceInStream(IID__Sample, sample.Get(), &call.stream));
    HANDLE caller = CreateThread(nullptr, 0, CallFromAnotherApartment, &call, 0, nullptr);
    ASSERT_NE(nullptr, caller);
    // The object's apartment keeps pumping, so the call (and the proxy's release) can arrive.
    EXPECT_TRUE(WaitPumping(caller));
    CloseHandle(caller);
    EXPECT_EQ(S_OK, call.result);
    EXPECT_EQ(L"Quill Post", call.name);
}

}  // namespace
}  // namespace quillpost::testing
