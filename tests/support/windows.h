// Finding, driving and closing the plug-in's windows from outside, as a user would.
#pragma once

#include <windows.h>

#include <span>
#include <string>
#include <vector>

#include "message_pump.h"

namespace quillpost::testing {

// Top-level windows of this process with the given caption (nullptr = any caption).
std::vector<HWND> FindTopLevelWindows(const wchar_t* caption);
// Visible top-level windows of this process with the given caption.
std::vector<HWND> FindVisibleWindows(const wchar_t* caption);

// Children of `parent` (any depth) of the given window class (nullptr = any).
std::vector<HWND> FindChildWindows(HWND parent, const wchar_t* className);

std::wstring WindowText(HWND window);
SIZE ClientSize(HWND window);
// The client area as the screen shows it, row by row, 0xRRGGBB per pixel.
std::vector<COLORREF> ScreenPixels(HWND window);

// Waiting while this thread's messages are dispatched, as the stress runs wait.
using stress::PumpMessages;
using stress::PumpUntil;
using stress::WaitPumping;

// Real mouse input: moves to the screen point and clicks the left button.
void ClickAt(POINT screen);
// Sends the inputs one by one from a thread of their own, as a hand does, while this thread pumps:
// a press on a caption enters the system's move loop, which a thread that sent the press itself
// would never leave.
void InputByHand(std::span<const INPUT> inputs);
// Real mouse input: two clicks at the screen point, well within the double-click time.
void DoubleClickAt(POINT screen);
// Presses and releases a key through the input queue.
void PressKey(WORD virtualKey);

// Closes every window of the plug-in that this thread still has open (WM_CLOSE).
void CloseProcessWindows();

}  // namespace quillpost::testing
