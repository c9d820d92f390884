// The module's handle and the counts of its vetoes and running scopes. The loader references its windows
// and lent objects hold are given back in loader_reference.cpp.
#include "core/module.h"

#include "core/thread_rows.h"

namespace quillpost {
namespace {

using thread_rows::Read;

HINSTANCE g_instance = nullptr;
DWORD_PTR g_imageStart = 0, g_imageEnd = 0;
LONG g_vetoes = 0;

}  // namespace

HINSTANCE ModuleInstance() { return g_instance; }

void SetModuleInstance(HINSTANCE instance)
{
    g_instance = instance;
    // The mapped image's extent, from its own headers (memory only: this runs under the loader lock).
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(instance);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(instance) + dos->e_lfanew);
    g_imageStart = reinterpret_cast<DWORD_PTR>(instance);
    g_imageEnd = g_imageStart + nt->OptionalHeader.SizeOfImage;
}

bool IsInsideImage(DWORD_PTR address) { return address >= g_imageStart && address < g_imageEnd; }

LONG UnloadVetoCount() { return Read(g_vetoes); }

UnloadVeto::UnloadVeto() { InterlockedIncrement(&g_vetoes); }
UnloadVeto::UnloadVeto(const UnloadVeto&) { InterlockedIncrement(&g_vetoes); }
UnloadVeto::~UnloadVeto() { InterlockedDecrement(&g_vetoes); }

RunningScope::RunningScope() : row_(thread_rows::ThisThreadsRow())
{
    // Without a row the scope holds its veto alone: the thread then leaves whatever it gives back
    // to the loader's keeping (LoaderReference::Reset), so nothing waits for its depth.
    if (row_) InterlockedIncrement(&row_->depth);
}

RunningScope::~RunningScope()
{
    if (!row_) return;
    // Only the owner changes its row's depth. The last scope's end wakes a callback waiting for it.
    if (Read(row_->depth) > 1)
        InterlockedDecrement(&row_->depth);
    else
        thread_rows::LeaveLastScope(*row_);
}

void ForgetThisThread() { thread_rows::ReleaseThisThreadsRow(); }

void BoundedVetoes::Add()
{
    InterlockedIncrement(&count_);
    InterlockedIncrement(&g_vetoes);
}

bool BoundedVetoes::Remove()
{
    for (LONG current = Read(count_); current > 0;) {
        const LONG seen = InterlockedCompareExchange(&count_, current - 1, current);
        if (seen == current) {
            InterlockedDecrement(&g_vetoes);
            return true;
        }
        current = seen;
    }
    return false;
}

HRESULT GetModulePath(wchar_t* buffer, DWORD capacity)
{
    const DWORD length = GetModuleFileNameW(ModuleInstance(), buffer, capacity);
    if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
    if (length >= capacity) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return S_OK;
}

}  // namespace quillpost
