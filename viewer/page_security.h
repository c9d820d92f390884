// The viewer's own security manager, which the control asks through its site before a page may
// run or install anything: ActiveX controls (downloaded, run or scripted), Java, binary
// behaviours and a page's step into a zone with more rights are refused for every page the pane
// shows, since whatever they ran would run inside the user's messenger. Every other question is
// left to the zone's settings (INET_E_DEFAULT_ACTION), so scripts and forms work as in a browser.
#pragma once

#include <windows.h>
#include <urlmon.h>

namespace quillpost {

// A part of the object that owns it (the browser's site): it has no count, no keep of the module
// and no identity of its own, but its owner's, which lives at least as long as the control holds
// the manager and answers every QueryInterface, this interface among them.
class PageSecurity final : public IInternetSecurityManager {
public:
    explicit PageSecurity(IUnknown* owner) : owner_(owner) {}
    PageSecurity(const PageSecurity&) = delete;
    PageSecurity& operator=(const PageSecurity&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return owner_->QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }

    // Refused actions: S_FALSE with their refusing policy written (URLPOLICY_DISALLOW, or
    // URLPOLICY_JAVA_PROHIBIT for Java's permissions), as the interface's contract has it for a
    // policy that is not "allow". Every other action: INET_E_DEFAULT_ACTION, policy untouched.
    STDMETHODIMP ProcessUrlAction(LPCWSTR url, DWORD action, BYTE* policy, DWORD policySize, BYTE*, DWORD, DWORD,
                                  DWORD) override;

    // The zone's own answers, whatever is asked.
    STDMETHODIMP SetSecuritySite(IInternetSecurityMgrSite*) override { return INET_E_DEFAULT_ACTION; }
    STDMETHODIMP GetSecuritySite(IInternetSecurityMgrSite** out) override;
    STDMETHODIMP MapUrlToZone(LPCWSTR, DWORD*, DWORD) override { return INET_E_DEFAULT_ACTION; }
    STDMETHODIMP GetSecurityId(LPCWSTR, BYTE*, DWORD*, DWORD_PTR) override { return INET_E_DEFAULT_ACTION; }
    STDMETHODIMP QueryCustomPolicy(LPCWSTR, REFGUID, BYTE** policy, DWORD* policySize, BYTE*, DWORD,
                                   DWORD) override;
    STDMETHODIMP SetZoneMapping(DWORD, LPCWSTR, DWORD) override { return INET_E_DEFAULT_ACTION; }
    STDMETHODIMP GetZoneMappings(DWORD, IEnumString** out, DWORD) override;

private:
    IUnknown* owner_;
};

}  // namespace quillpost
