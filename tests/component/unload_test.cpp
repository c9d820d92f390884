// The unload query: objects, class-factory locks and loaded windows keep the module.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "core/raii.h"
#include "support/com_test.h"
#include "support/dispatch.h"
#include "support/module.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

class UnloadQuery : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        ASSERT_NE(nullptr, module_.Handle());
    }
    PluginModule module_;
};

TEST_F(UnloadQuery, HeldObjectKeepsTheModule)
{
    EXPECT_EQ(S_OK, module_.CanUnloadNow());
    ComPtr<IDispatch> sample = CreateSample();
    EXPECT_EQ(S_FALSE, module_.CanUnloadNow());
    sample.Reset();
    EXPECT_EQ(S_OK, module_.CanUnloadNow());
}

TEST_F(UnloadQuery, FactoryReferencesAndLocksKeepTheModule)
{
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, module_.GetClassObject(CLSID_Sample, IID_PPV_ARGS(&factory)));
    EXPECT_EQ(S_FALSE, module_.CanUnloadNow());
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, module_.CanUnloadNow());
    ASSERT_EQ(S_OK, module_.GetClassObject(CLSID_Sample, IID_PPV_ARGS(&factory)));
    ASSERT_EQ(S_OK, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_EQ(S_OK, module_.CanUnloadNow());
}

TEST_F(UnloadQuery, OpenWindowsKeepTheModuleUntilClosed)
{
    {
        ComPtr<IDispatch> sample = CreateSample();
        Variant version(6L), email(L"unload@quillpost.example"), messenger(static_cast<IDispatch*>(nullptr));
        ASSERT_EQ(S_OK, Call(sample.Get(), L"Initialize", {&version, &email, &messenger}).hr);
        ASSERT_EQ(S_OK, Call(sample.Get(), L"Configure", {}).hr);
    }
    EXPECT_EQ(S_FALSE, module_.CanUnloadNow());  // no object left, two windows loaded

    ASSERT_EQ(1u, FindVisibleWindows(L"About").size());
    SendMessageW(FindVisibleWindows(L"About")[0], WM_CLOSE, 0, 0);
    EXPECT_EQ(S_FALSE, module_.CanUnloadNow());  // the viewer is still loaded

    ASSERT_EQ(1u, FindVisibleWindows(L"Form1").size());
    SendMessageW(FindVisibleWindows(L"Form1")[0], WM_CLOSE, 0, 0);
    PumpMessages(50);
    EXPECT_EQ(S_OK, module_.CanUnloadNow());
}

class ModuleUnload : public ComTest {};

TEST_F(ModuleUnload, ComFreesTheDllOnceItAgrees)
{
    ComPtr<IDispatch> sample = CreateSample();
    ASSERT_NE(nullptr, GetModuleHandleW(L"Quillpost.dll"));
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_NE(nullptr, GetModuleHandleW(L"Quillpost.dll")) << "unloaded while an object was alive";
    sample.Reset();
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(nullptr, GetModuleHandleW(L"Quillpost.dll"));
}

// The host's own call that ends its use of the plug-in takes the DLL along before it returns,
// on the host's thread, with nothing left for later: a host on its way out must not find an
// unload still running, or a thread still starting, when it exits. Windows and COM run on a
// thread of their own, whose apartment is the one that loads the DLL.
struct HostsEnd {
    const char* name;
    bool endsApartment;  // CoUninitialize; otherwise the windows close, then CoFreeUnusedLibrariesEx
    friend void PrintTo(const HostsEnd& end, std::ostream* out) { *out << end.name; }
};

struct EndOnThread {
    bool endsApartment;
    HRESULT opened = E_FAIL;
    bool loadedBefore = true, goneOnReturn = false;
};

DWORD WINAPI OpenWindowsAndEnd(void* parameter)
{
    auto& run = *static_cast<EndOnThread*>(parameter);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    run.loadedBefore = GetModuleHandleW(L"Quillpost.dll") != nullptr;
    {
        ComPtr<IDispatch> sample;
        run.opened = CoCreateInstance(CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&sample));
        Variant version(6L), email(L"ends@quillpost.example"), messenger(static_cast<IDispatch*>(nullptr));
        if (SUCCEEDED(run.opened)) run.opened = Call(sample.Get(), L"Initialize", {&version, &email, &messenger}).hr;
        if (SUCCEEDED(run.opened)) run.opened = Call(sample.Get(), L"Configure", {}).hr;
    }
    if (!run.endsApartment) {
        CloseProcessWindows();
        CoFreeUnusedLibrariesEx(0, 0);
        run.goneOnReturn = GetModuleHandleW(L"Quillpost.dll") == nullptr;
    }
    CoUninitialize();
    if (run.endsApartment) run.goneOnReturn = GetModuleHandleW(L"Quillpost.dll") == nullptr;
    return 0;
}

class HostsEndTakesTheDll : public ::testing::TestWithParam<HostsEnd> {};

TEST_P(HostsEndTakesTheDll, BeforeTheHostsCallReturns)
{
    EndOnThread run{GetParam().endsApartment};
    UniqueHandle thread(CreateThread(nullptr, 0, OpenWindowsAndEnd, &run, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 60000));
    ASSERT_FALSE(run.loadedBefore) << "an earlier test left the DLL loaded";
    ASSERT_EQ(S_OK, run.opened);
    EXPECT_TRUE(run.goneOnReturn) << "the DLL was still loaded when the host's call returned";
}

INSTANTIATE_TEST_SUITE_P(Ends, HostsEndTakesTheDll,
                         ::testing::Values(HostsEnd{"UnusedLibrariesFreed", false}, HostsEnd{"ApartmentEnded", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillpost::testing
