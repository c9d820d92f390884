// The lifetime core against a slow system: the calls that the module makes out of its image at
// the edges of its holds return late, as in a thread preempted inside them, while COM has let go
// of the module as Windows' CoUninitialize does (whatever the unload query answered).
#include <gtest/gtest.h>

#include <functional>

#include "core/guest_test.h"
#include "slow_calls.h"
#include "image_faults.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

using stress::SlowCall;
using stress::SlowCallPatch;

// Under Wine an exception in a window procedure may be swallowed, so faults in the module's former
// image are counted by a vectored handler, not judged by the process's end alone.
//
// The viewer and the About window end on their thread after COM has let go of the module; each
// window's end gives its references back from inside DestroyWindow, which then returns late, so
// the pool's callback is waiting when the last scope ends and wakes it, and the wake returns
// late too: the callback looks while the thread sleeps inside the wake, outside the image.
TEST(SlowSystem, WindowsEndedAfterComLetGoReturnIntoTheImageBeforeItGoes)
{
    const stress::ImageFaultCount faults;
    HANDLE freed = CreateEventW(nullptr, TRUE, FALSE, nullptr), opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HRESULT comsQuery = E_FAIL;
    std::function<void()> comsApartment = ComThatLetsGo(opened, freed, &comsQuery);
    HANDLE comsThread = StartThread(&comsApartment);
    ASSERT_NE(nullptr, comsThread);

    long wakesLate = 0, destructionsLate = 0;
    bool openedBoth = false, ended = false;
    std::function<void()> windowsThread = [&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        PumpUntil([] { return GetModuleHandleW(L"Quillpost.dll") != nullptr; }, 30000);
        HMODULE module = nullptr;
        const GetClassObject getClassObject = LoadByHand(&module);
        stress::NoteImage(module);
        SlowCallPatch slowWake(module, SlowCall::Wake, 200), slowDestruction(module, SlowCall::WindowDestruction, 50);
        HWND viewer = nullptr, about = nullptr;
        openedBoth = slowWake.Ready() && slowDestruction.Ready() && getClassObject &&
                     OpenBothThrough(getClassObject, &viewer, &about);
        FreeLibrary(module);
        SetEvent(opened);
        WaitPumping(freed, 30000);
        SendMessageW(about, WM_CLOSE, 0, 0);
        SendMessageW(viewer, WM_CLOSE, 0, 0);
        ended = !IsWindow(viewer) && !IsWindow(about);
        wakesLate = slowWake.Fired();
        destructionsLate = slowDestruction.Fired();
        CoUninitialize();
    };
    HANDLE guiThread = StartThread(&windowsThread);
    ASSERT_NE(nullptr, guiThread);
    EXPECT_TRUE(WaitPumping(guiThread, 60000));
    EXPECT_TRUE(openedBoth);
    EXPECT_EQ(S_FALSE, comsQuery) << "the windows were not holding the module when COM let go";
    EXPECT_TRUE(ended);
    EXPECT_GT(destructionsLate, 0) << "no window's destruction returned late";
    EXPECT_GT(wakesLate, 0) << "no wake of a waiting callback returned late";
    EXPECT_TRUE(WaitUntilModuleIsGone(10000)) << "the references given back after COM let go were kept";
    EXPECT_EQ(0, stress::FaultsInTheImage()) << "a thread returned into the unmapped image";
    CloseHandle(guiThread);
    CloseHandle(comsThread);
}

}  // namespace
}  // namespace quillpost::testing
