// Apartments: each thread that uses the plug-in gets its own windows; other apartments call
// an object through the automation marshaler.
#include <gtest/gtest.h>

#include <thread>

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

// Opens both windows from a new STA thread, reports them, and closes them before it ends
// unless `leaveOpen`.
ThreadWindows OpenWindowsOnAnotherThread(bool leaveOpen)
{
    ThreadWindows seen;
    std::thread worker([&] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
        {
            CLSID clsid{};
            ComPtr<IDispatch> sample;
            if (SUCCEEDED(CLSIDFromProgID(kProgId, &clsid)) &&
                SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&sample)))) {
                Variant version(6L), email(L"thread@quillpost.example"), messenger(static_cast<IDispatch*>(nullptr));
                Call(sample.Get(), L"Initialize", {&version, &email, &messenger});
                Call(sample.Get(), L"Configure", {});
                seen = {GetCurrentThreadId(), OnlyWindowOfThisThread(L"Form1"), OnlyWindowOfThisThread(L"About")};
            }
        }
        if (!leaveOpen) CloseProcessWindows();
        CoUninitialize();
    });
    worker.join();
    return seen;
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

TEST_F(Apartments, OtherApartmentsCallThroughTheMarshaler)
{
    ComPtr<IDispatch> sample = CreateSample();
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CoMarshalInterThreadInterfaceInStream(IID__Sample, sample.Get(), &stream));

    HRESULT callResult = E_FAIL;
    std::wstring name;
    std::thread caller([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ComPtr<_Sample> proxy;
        if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, IID__Sample,
                                                     reinterpret_cast<void**>(proxy.GetAddressOf())))) {
            BSTR text = nullptr;
            LONG commands = 0, tags = 0;
            VARIANT_BOOL ok = VARIANT_FALSE;
            callResult = proxy->GetPublishInfo(&text, &commands, &tags, &ok);
            if (text) name.assign(text, SysStringLen(text));
            SysFreeString(text);
        }
        proxy.Reset();
        CoUninitialize();
    });
    // The object's apartment must keep pumping for the call to arrive.
    PumpUntil([&] { return callResult != E_FAIL; }, 10000);
    caller.join();
    EXPECT_EQ(S_OK, callResult);
    EXPECT_EQ(L"Quill Post", name);
}

}  // namespace
}  // namespace quillpost::testing
