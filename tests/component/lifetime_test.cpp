// What the module keeps and gives back over its life in a host: its type information, its
// factory's locks, and whatever each unload and reload through the unload query leaves behind.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "stress/resource_counters.h"
#include "support/com_test.h"
#include "support/dispatch.h"
#include "support/module.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

using stress::CountResources;
using stress::ResourceCounts;

std::wstring DllPathBesideTheTests()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"Quillpost.dll";
}

class Lifetime : public ComTest {
protected:
    // Create, look a name up (which loads the type information), release, let COM free the DLL.
    bool CycleOnce()
    {
        ComPtr<IDispatch> sample = CreateSample();
        if (!sample || DispIdOf(sample.Get(), L"GetPublishInfo") == DISPID_UNKNOWN) return false;
        sample.Reset();
        CoFreeUnusedLibrariesEx(0, 0);
        return GetModuleHandleW(L"Quillpost.dll") == nullptr;
    }
};

// The system keeps one copy of a loaded type library per path for as long as anyone holds it:
// once the module is gone, loading the library again must give a copy nobody else holds.
TEST_F(Lifetime, UnloadingGivesTheTypeInformationBack)
{
    ASSERT_TRUE(CycleOnce()) << "COM did not free the DLL";
    ITypeLib* library = nullptr;
    ASSERT_EQ(S_OK, LoadTypeLibEx(DllPathBesideTheTests().c_str(), REGKIND_NONE, &library));
    EXPECT_EQ(0u, library->Release()) << "an unloaded module still holds its type information";
}

TEST_F(Lifetime, AnUnlockWithoutALockIsRefusedAndTheModuleStillUnloads)
{
    PluginModule module;
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, module.GetClassObject(CLSID_Sample, IID_PPV_ARGS(&factory)));
    EXPECT_EQ(E_UNEXPECTED, factory->LockServer(FALSE));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(E_UNEXPECTED, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_EQ(S_OK, module.CanUnloadNow());

    // The count still works both ways after the refused unlocks.
    ASSERT_EQ(S_OK, module.GetClassObject(CLSID_Sample, IID_PPV_ARGS(&factory)));
    ComPtr<IUnknown> object;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)));
    factory.Reset();
    EXPECT_EQ(S_FALSE, module.CanUnloadNow());
    object.Reset();
    EXPECT_EQ(S_OK, module.CanUnloadNow());
}

TEST_F(Lifetime, ExtraReleasesOfTheFactoryDoNotKeepTheModuleForever)
{
    PluginModule module;
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, module.GetClassObject(CLSID_Sample, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    factory->Release();
    factory->Release();  // one more than the host was given
    factory->Release();
    EXPECT_EQ(S_OK, module.CanUnloadNow());
    ComPtr<IClassFactory> again;
    ASSERT_EQ(S_OK, module.GetClassObject(CLSID_Sample, IID_PPV_ARGS(&again)));
    EXPECT_EQ(S_FALSE, module.CanUnloadNow());
    again.Reset();
    EXPECT_EQ(S_OK, module.CanUnloadNow());
}

// A host that frees unused libraries unloads and reloads the DLL all day long: an unload must
// leave no TLS slot (the process has about 1,088), no handle and no heap behind.
TEST_F(Lifetime, UnloadAndReloadLeaveNothingBehind)
{
    for (int warmUp = 0; warmUp < 3; ++warmUp) ASSERT_TRUE(CycleOnce());
    const ResourceCounts before = CountResources();
    constexpr int kCycles = 20;
    for (int cycle = 0; cycle < kCycles; ++cycle) ASSERT_TRUE(CycleOnce()) << "cycle " << cycle;
    const ResourceCounts growth = CountResources() - before;
    EXPECT_EQ(0, growth.freeTlsSlots) << -growth.freeTlsSlots << " TLS slots kept by " << kCycles << " unloads";
    EXPECT_LE(growth.handles, 2) << "handles kept by " << kCycles << " unloads";
    EXPECT_LE(growth.heapBytes, 16 * 1024) << "heap bytes kept by " << kCycles << " unloads";
}

std::set<std::wstring> ClassesOfOpenPluginWindows()
{
    std::set<std::wstring> names;
    const HMODULE plugin = GetModuleHandleW(L"Quillpost.dll");
    auto note = [&](HWND window) {
        if (reinterpret_cast<HMODULE>(GetClassLongPtrW(window, GCLP_HMODULE)) != plugin) return;
        wchar_t name[256] = {};
        GetClassNameW(window, name, ARRAYSIZE(name));
        names.insert(name);
    };
    for (HWND window : FindTopLevelWindows(nullptr)) {
        note(window);
        for (HWND child : FindChildWindows(window, nullptr)) note(child);
    }
    return names;
}

// A class outlives the DLL that registered it; its window procedure would be code that is gone.
TEST_F(Lifetime, UnloadTakesTheWindowClassesAlong)
{
    std::set<std::wstring> classes;
    HMODULE former = nullptr;
    {
        ComPtr<IDispatch> sample = CreateSample();
        ASSERT_NE(nullptr, sample.Get());
        Variant version(6L), email(L"classes@quillpost.example"), messenger(static_cast<IDispatch*>(nullptr));
        ASSERT_EQ(S_OK, Call(sample.Get(), L"Initialize", {&version, &email, &messenger}).hr);
        ASSERT_EQ(S_OK, Call(sample.Get(), L"Configure", {}).hr);
        former = GetModuleHandleW(L"Quillpost.dll");
        classes = ClassesOfOpenPluginWindows();
        CloseProcessWindows();
        PumpMessages(50);
    }
    ASSERT_GE(classes.size(), 2u);
    CoFreeUnusedLibrariesEx(0, 0);
    ASSERT_EQ(nullptr, GetModuleHandleW(L"Quillpost.dll")) << "COM did not free the DLL";
    for (const std::wstring& name : classes) {
        WNDCLASSEXW info{sizeof(info)};
        EXPECT_FALSE(GetClassInfoExW(former, name.c_str(), &info)) << "class left registered after unload";
    }
}

}  // namespace
}  // namespace quillpost::testing
