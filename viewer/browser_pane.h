// The system's WebBrowser control, hosted in place inside one of our windows, with the viewer's
// own handling of its events connected while it is open.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <string_view>

#include "viewer/event_connection.h"
#include "viewer/browser_events.h"
#include "viewer/browser_frame.h"
#include "viewer/browser_site.h"

namespace quillpost {

class BrowserPane {
public:
    BrowserPane() = default;
    BrowserPane(const BrowserPane&) = delete;
    BrowserPane& operator=(const BrowserPane&) = delete;
    ~BrowserPane() { Close(); }

    // Creates the control with a fresh state (no page), connects the viewer's handling of its
    // events (a control that offers none fails: its pages would go unguarded) and activates it in
    // place over `position` of `container`, whose window is at `dpi`; *window is the control's own
    // window (nullptr on failure).
    HRESULT Open(HWND container, const RECT& position, int dpi, HWND* window);

    // Gives the control its new place in the container.
    void Move(const RECT& position);

    // The container's window is now at `dpi`: the page shown is zoomed to it at once, without a
    // reload, and a page still to come when it is complete.
    void SetDpi(int dpi);

    // Starts loading `address` in the pane; returns before the page has loaded.
    HRESULT Navigate(std::wstring_view address);

    // Gives the page the keyboard focus.
    void Focus();

    // Offers a keyboard message to the control's active object while the pane has the focus;
    // true when the control has handled it, and the message must not be dispatched.
    bool TranslateAccelerator(MSG& message);

    // Disconnects from the control's events, deactivates the control and lets go of it and of
    // our site, so nothing of ours is held.
    void Close();

private:
    HRESULT Activate(HWND container, const RECT& position, int dpi, HWND* window);

    Microsoft::WRL::ComPtr<IOleObject> control_;
    Microsoft::WRL::ComPtr<BrowserSite> site_;
    Microsoft::WRL::ComPtr<BrowserFrame> frame_;
    Microsoft::WRL::ComPtr<BrowserEvents> events_;
    EventConnection eventConnection_;
    HWND container_ = nullptr;
    HWND window_ = nullptr;  // the control's
    RECT position_{};
};

}  // namespace quillpost
