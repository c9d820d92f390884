// The module as a guest where COM lets go of it as Windows does: whatever the unload query answers.
#include <gtest/gtest.h>

#include <functional>

#include "core/guest_test.h"
#include "support/accessibility.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

// Windows' CoUninitialize frees every library its apartment loaded, asking the unload query only
// as a courtesy; Wine's frees only those that agree. So an apartment here loads the module through
// COM, lets COM ask, and then gives COM's reference back itself, as Windows would, while a viewer
// and an About window live on another thread and a screen reader holds the viewer's object.
// This process's COM then keeps a record of a module that is gone, so that apartment never ends
// (its thread is left waiting until the process exits) and the test has a program of its own.
TEST(ComsUnconditionalFree, OpenWindowsAndAScreenReadersObjectKeepWorkingAndTheModuleGoesOnceTheyEnd)
{
    HANDLE freed = CreateEventW(nullptr, TRUE, FALSE, nullptr), opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HRESULT comsQuery = E_FAIL;
    std::function<void()> comsApartment = ComThatLetsGo(opened, freed, &comsQuery);
    HANDLE comsThread = StartThread(&comsApartment);
    ASSERT_NE(nullptr, comsThread);

    HWND viewer = nullptr, about = nullptr;
    bool openedBoth = false, survived = false;
    std::function<void()> windowsThread = [&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        PumpUntil([] { return GetModuleHandleW(L"Quillpost.dll") != nullptr; }, 30000);
        HMODULE module = nullptr;
        const GetClassObject getClassObject = LoadByHand(&module);
        openedBoth = getClassObject && OpenBothThrough(getClassObject, &viewer, &about);
        if (module) FreeLibrary(module);
        SetEvent(opened);
        WaitPumping(freed, 30000);
        PumpMessages(100);  // the screen reader's calls come in meanwhile
        RedrawWindow(viewer, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        RedrawWindow(about, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        SendMessageW(about, WM_CLOSE, 0, 0);
        SendMessageW(viewer, WM_CLOSE, 0, 0);
        survived = !IsWindow(viewer) && !IsWindow(about);
        PumpMessages(100);
        CoUninitialize();
    };
    HANDLE guiThread = StartThread(&windowsThread);
    ASSERT_NE(nullptr, guiThread);
    ASSERT_TRUE(WaitPumping(opened, 30000));
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ComPtr<IAccessible> reader = ClientObject(viewer);
    ASSERT_NE(nullptr, reader);
    ASSERT_TRUE(WaitPumping(freed, 30000));
    EXPECT_EQ(S_FALSE, comsQuery) << "the windows were not holding the module when COM let go";
    EXPECT_FALSE(FactsOf(reader.Get()).name.empty()) << "the screen reader's object stopped answering";
    reader.Reset();
    CoUninitialize();
    EXPECT_TRUE(WaitPumping(guiThread, 30000));
    EXPECT_TRUE(openedBoth);
    EXPECT_TRUE(survived);
    EXPECT_TRUE(WaitUntilModuleIsGone()) << "references given back after COM let go were kept";
    CloseHandle(guiThread);
    CloseHandle(comsThread);
}

}  // namespace
}  // namespace quillpost::testing
