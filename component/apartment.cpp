#include "component/apartment.h"

#include <new>

#include "about/form2.h"
#include "viewer/form1.h"

namespace quillpost {
namespace {

struct ApartmentWindows {
    Form1 viewer;
    Form2 about;
    ApartmentWindows* next = nullptr;
};

DWORD g_slot = TLS_OUT_OF_INDEXES;

// Every apartment's instances, so that unloading the module can free them all.
SRWLOCK g_listLock = SRWLOCK_INIT;
ApartmentWindows* g_list = nullptr;

void Unlink(ApartmentWindows* windows)
{
    AcquireSRWLockExclusive(&g_listLock);
    for (ApartmentWindows** link = &g_list; *link; link = &(*link)->next) {
        if (*link == windows) {
            *link = windows->next;
            break;
        }
    }
    ReleaseSRWLockExclusive(&g_listLock);
}

HRESULT ThisApartment(ApartmentWindows** out)
{
    *out = static_cast<ApartmentWindows*>(TlsGetValue(g_slot));
    if (*out) return S_OK;
    auto* created = new (std::nothrow) ApartmentWindows;
    if (!created) return E_OUTOFMEMORY;
    if (!TlsSetValue(g_slot, created)) {
        delete created;
        return E_OUTOFMEMORY;
    }
    AcquireSRWLockExclusive(&g_listLock);
    created->next = g_list;
    g_list = created;
    ReleaseSRWLockExclusive(&g_listLock);
    *out = created;
    return S_OK;
}

}  // namespace

HRESULT GetViewerWindow(Form1** out)
{
    *out = nullptr;
    ApartmentWindows* windows = nullptr;
    if (HRESULT hr = ThisApartment(&windows); FAILED(hr)) return hr;
    *out = &windows->viewer;
    return S_OK;
}

HRESULT GetAboutWindow(Form2** out)
{
    *out = nullptr;
    ApartmentWindows* windows = nullptr;
    if (HRESULT hr = ThisApartment(&windows); FAILED(hr)) return hr;
    *out = &windows->about;
    return S_OK;
}

bool StartApartments()
{
    g_slot = TlsAlloc();
    return g_slot != TLS_OUT_OF_INDEXES;
}

void ReleaseThisApartment()
{
    auto* windows = static_cast<ApartmentWindows*>(TlsGetValue(g_slot));
    if (!windows) return;
    TlsSetValue(g_slot, nullptr);
    Unlink(windows);
    delete windows;
}

void StopApartments()
{
    // The unload query only agrees once no window is loaded, so what is left are instances.
    while (ApartmentWindows* windows = g_list) {
        g_list = windows->next;
        delete windows;
    }
    TlsFree(g_slot);
    g_slot = TLS_OUT_OF_INDEXES;
}

}  // namespace quillpost
