// The unload query: objects, class-factory locks and loaded windows keep the module.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillpost::testing
