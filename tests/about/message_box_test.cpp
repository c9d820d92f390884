// A link whose program cannot start: the message box's modal loop runs host code, which may
// close the About window and ask COM to free unused libraries. The module must stay until the
// message box has returned into it. This program lies beside an explorer.exe that is no program.
#include <gtest/gtest.h>

#include <vector>

#include "about_window.h"
#include "explorer_records.h"
#include "support/com_test.h"
#include "support/windows.h"

namespace quillpost::testing {
namespace {

struct ModalScene {
    HWND about = nullptr;
    bool sawMessageBox = false;
    bool loadedAfterFreeing = false;
    bool ran = false;
};
ModalScene g_scene;

std::vector<HWND> ThisThreadsMessageBoxes()
{
    std::vector<HWND> boxes;
    for (HWND window : FindTopLevelWindows(L"Quill Post")) {
        wchar_t className[16] = {};
        GetClassNameW(window, className, ARRAYSIZE(className));
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() && lstrcmpW(className, L"#32770") == 0)
            boxes.push_back(window);
    }
    return boxes;
}

// Runs inside the message box's modal loop, as a host's timer would.
void CALLBACK CloseAndFreeInsideTheModalLoop(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    g_scene.ran = true;
    g_scene.sawMessageBox = !ThisThreadsMessageBoxes().empty();
    SendMessageW(g_scene.about, WM_CLOSE, 0, 0);
    CoFreeUnusedLibrariesEx(0, 0);
    g_scene.loadedAfterFreeing = GetModuleHandleW(L"Quillpost.dll") != nullptr;
    for (HWND box : ThisThreadsMessageBoxes()) PostMessageW(box, WM_COMMAND, IDOK, 0);
}

class AboutMessageBox : public ComTest {};

TEST_F(AboutMessageBox, ClosingTheWindowAndFreeingLibrariesInsideItsLoopKeepsTheModuleUntilItReturns)
{
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((TestProgramFolder() + L"\\explorer.exe").c_str()))
        << "an explorer.exe that cannot start must lie beside this program";
    g_scene = {};
    {
        ComPtr<IDispatch> sample = CreateSample();
        g_scene.about = OpenAbout(sample.Get());
    }
    ASSERT_NE(nullptr, g_scene.about);  // now only the window keeps the module
    ASSERT_NE(0u, SetTimer(nullptr, 0, 700, CloseAndFreeInsideTheModalLoop));
    ClickAt(ScreenCenter(ControlWithText(g_scene.about, L"Click here to view the forum thread")));
    ASSERT_TRUE(PumpUntil([] { return g_scene.ran; }, 10000));
    EXPECT_TRUE(g_scene.sawMessageBox);
    EXPECT_TRUE(g_scene.loadedAfterFreeing) << "the module was freed while its message box was open";
    EXPECT_TRUE(PumpUntil([] { return FindTopLevelWindows(L"About").empty() && ThisThreadsMessageBoxes().empty(); }));
    // Once back out of it, the module goes as soon as COM is asked again.
    EXPECT_TRUE(PumpUntil([] {
        CoFreeUnusedLibrariesEx(0, 0);
        return GetModuleHandleW(L"Quillpost.dll") == nullptr;
    }));
}

}  // namespace
}  // namespace quillpost::testing
