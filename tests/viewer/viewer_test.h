// A host's view of the viewer: the plug-in created through COM, its operations called by
// name, and the viewer found and inspected among the process's windows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/com_test.h"
#include "support/dispatch.h"

namespace quillpost::testing {

inline constexpr wchar_t kLoadedHeading[] = L"Viewing Tallowchat Forum Latests";
inline constexpr wchar_t kEmailHeadingSuffix[] = L" Is Viewing Tallowchat Latest Posts";
inline constexpr int kClientWidth = 575;   // 8625 twips
inline constexpr int kClientHeight = 512;  // 7680 twips

// The colours the skin fixes, as 0xRRGGBB.
inline constexpr COLORREF kWhite = 0xFFFFFF;
inline constexpr COLORREF kFrame = 0x8097CF;
inline constexpr COLORREF kInnerLine = 0xCFD8EF;
inline constexpr COLORREF kStripTop = 0xC0D0F0;
inline constexpr COLORREF kStripMiddle = 0xFFF8FF;
inline constexpr COLORREF kStripBottom = 0xCFD7E0;
inline constexpr COLORREF kStripLine = 0xAFB8D0;
inline constexpr COLORREF kGlyph = 0x406090;

class ViewerTest : public ComTest {
protected:
    void SetUp() override;
    void TearDown() override;

    CallResult Initialize(const wchar_t* email);
    CallResult ParseCommand(const wchar_t* command);

    // The one visible viewer; fails the test when there is not exactly one.
    HWND Viewer();
    static HWND Picture(HWND viewer);  // `pic`
    static HWND Heading(HWND viewer);  // `Label1`
    static std::wstring HeadingText(HWND viewer);
    static POINT ScreenPoint(HWND viewer, int clientX, int clientY);
    static void CloseViewer(HWND viewer);

    ComPtr<IDispatch> sample_;
};

// The DLL's own unload query, as the platform would ask it.
HRESULT CanUnloadNow();

// Mouse input through the input queue: press at `from`, move in steps, release at `to`.
void DragWithMouse(POINT from, POINT to);
// A key pressed while `modifier` is held, through the input queue: PressWith(VK_MENU, VK_F4).
void PressWith(WORD modifier, WORD key);

}  // namespace quillpost::testing
