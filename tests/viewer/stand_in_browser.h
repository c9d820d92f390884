// A stand-in for the system's WebBrowser control, registered for its class while a test runs
// (Wine's control never makes an object active and draws no page here): it does what a control
// does in place and with the focus, counts keys and navigations, records the zooms it is told and
// the keys its host lets through to it, and fires the control's events through the connection
// point it offers, as a page would make the control fire them.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace quillpost::testing {

struct StandInSeen {
    int navigations = 0, tabs = 0, copies = 0, keysAtWindow = 0, alive = 0, sinks = 0;
    int navigatedAwareness = -1;  // the DPI_AWARENESS of the thread that asked for the last page
    HWND window = nullptr;
    std::vector<int> zooms;        // each OLECMDID_OPTICAL_ZOOM set, in percent
    std::vector<LONG> zoomFlags;   // the OLECMDIDF_OPTICAL_ZOOM_* flags of each, -1 when none came
    int zoomNow = 100;             // what a query of the zoom answers; a test sets it as the user would
    std::vector<WPARAM> engineKeys;  // each key press the host's IDocHostUIHandler let through
    int keyAwareness = -1;  // the thread's DPI_AWARENESS when the last key was offered
};
// What the stand-ins of this process saw; a test clears it before it starts.
extern StandInSeen g_standIn;

// The stand-in registered for CLSID_WebBrowser in this apartment while the scope lasts.
class StandInRegistration {
public:
    StandInRegistration() = default;
    StandInRegistration(const StandInRegistration&) = delete;
    StandInRegistration& operator=(const StandInRegistration&) = delete;
    ~StandInRegistration() { Revoke(); }
    HRESULT Register();
    void Revoke();

private:
    DWORD cookie_ = 0;
};

// Fires `member` with `arguments` (`count` of them, last first, as Invoke takes them) at every sink
// advised to the stand-in now in place; false when none is.
bool FireEvent(DISPID member, VARIANT* arguments, UINT count);

// Fires DocumentComplete for the stand-in's own document, as the control does when its page is
// complete; false when no sink is advised.
bool FireDocumentComplete();

// The control's events as a page makes it fire them, each with Cancel by reference; what Cancel
// became (stand_in_events.cpp). NewWindow3's flags are the NWMF_* of the new window.
VARIANT_BOOL FireNewWindow3(const std::wstring& address, LONG flags);
VARIANT_BOOL FireNewWindow2();
VARIANT_BOOL FireBeforeNavigate(const std::wstring& address);
VARIANT_BOOL FireFileDownload(bool activeDocument);
VARIANT_BOOL FireNavigateError(const std::wstring& address);

// The client site the stand-in in place was given; nullptr when there is none.
Microsoft::WRL::ComPtr<IOleClientSite> StandInSite();

}  // namespace quillpost::testing
