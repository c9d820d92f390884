// Not compiled: the entry check's test reads it as if it were a viewer source, and must refuse
// each of these ways into the module. A comment that names SetWindowsHookExW is not one.
void DirectEntries(HWND control, HOOKPROC hook, WNDCLASSW* windowClass, PTP_SIMPLE_CALLBACK work)
{
    SetWindowLongPtrW(control,
                      GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
    SetWindowsHookExW(WH_GETMESSAGE, hook, nullptr, GetCurrentThreadId());
    RegisterClassW(windowClass);
    TrySubmitThreadpoolCallback(work, nullptr, nullptr);
    SetWindowLongPtrW(control, GWLP_USERDATA, GetWindowLongPtrW(control, GWLP_WNDPROC));
}
