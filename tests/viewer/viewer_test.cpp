#include "viewer/viewer_test.h"

#include "support/windows.h"

namespace quillpost::testing {
namespace {

INPUT MouseInput(DWORD flags, POINT screen = {})
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        // Absolute input is in 0..65535 across the primary screen.
        input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    return input;
}

void SendKey(WORD key, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
    PumpMessages(30);
}

}  // namespace

void ViewerTest::SetUp()
{
    ComTest::SetUp();
    sample_ = CreateSample();
    ASSERT_NE(nullptr, sample_.Get());
}

void ViewerTest::TearDown()
{
    sample_.Reset();
    ComTest::TearDown();
}

CallResult ViewerTest::Initialize(const wchar_t* email)
{
    Variant version(6L), address(email), messenger(static_cast<IDispatch*>(nullptr));
    return Call(sample_.Get(), L"Initialize", {&version, &address, &messenger});
}

CallResult ViewerTest::ParseCommand(const wchar_t* command)
{
    Bstr result(L"unchanged");
    Variant text(command), argument(L""), conversation(static_cast<IDispatch*>(nullptr));
    Variant resultArg = Variant::RefBstr(result.InOut());
    return Call(sample_.Get(), L"ParseCommand", {&text, &argument, &conversation, &resultArg});
}

HWND ViewerTest::Viewer()
{
    std::vector<HWND> viewers = FindVisibleWindows(L"Form1");
    EXPECT_EQ(1u, viewers.size());
    return viewers.size() == 1 ? viewers[0] : nullptr;
}

HWND ViewerTest::Picture(HWND viewer)
{
    std::vector<HWND> pictures = FindChildWindows(viewer, L"QuillpostPicture");
    return pictures.size() == 1 ? pictures[0] : nullptr;
}

HWND ViewerTest::Heading(HWND viewer)
{
    std::vector<HWND> labels = FindChildWindows(viewer, L"Static");
    return labels.size() == 1 ? labels[0] : nullptr;
}

std::wstring ViewerTest::HeadingText(HWND viewer)
{
    HWND heading = Heading(viewer);
    return heading ? WindowText(heading) : L"<no heading>";
}

POINT ViewerTest::ScreenPoint(HWND viewer, int clientX, int clientY)
{
    POINT point{clientX, clientY};
    ClientToScreen(viewer, &point);
    return point;
}

void ViewerTest::CloseViewer(HWND viewer)
{
    SendMessageW(viewer, WM_CLOSE, 0, 0);
    PumpMessages(50);
}

HRESULT CanUnloadNow()
{
    HMODULE plugin = GetModuleHandleW(L"Quillpost.dll");
    if (!plugin) return E_FAIL;
    using Query = HRESULT(STDAPICALLTYPE*)();
    auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(GetProcAddress(plugin, "DllCanUnloadNow")));
    return query ? query() : E_FAIL;
}

void DragWithMouse(POINT from, POINT to)
{
    constexpr int kSteps = 5;
    INPUT inputs[kSteps + 3] = {};
    inputs[0] = MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, from);
    inputs[1] = MouseInput(MOUSEEVENTF_LEFTDOWN);
    for (int step = 1; step <= kSteps; ++step) {
        const POINT at{from.x + (to.x - from.x) * step / kSteps, from.y + (to.y - from.y) * step / kSteps};
        inputs[1 + step] = MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at);
    }
    inputs[kSteps + 2] = MouseInput(MOUSEEVENTF_LEFTUP);
    InputByHand(inputs);
    PumpMessages(100);
}

void PressWith(WORD modifier, WORD key)
{
    SendKey(modifier, 0);
    SendKey(key, 0);
    SendKey(key, KEYEVENTF_KEYUP);
    SendKey(modifier, KEYEVENTF_KEYUP);
    PumpMessages(100);
}

}  // namespace quillpost::testing
