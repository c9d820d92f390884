// The stress host's hands: creates the plug-in as a host does, calls it by name through
// IDispatch, and closes its windows as a user does (WM_CLOSE posted, messages pumped).
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "message_pump.h"
#include "resource_counters.h"

namespace quillpost::stress {

using Microsoft::WRL::ComPtr;

inline constexpr wchar_t kPluginProgId[] = L"TallowPlugin6.Sample";
inline constexpr wchar_t kPluginModule[] = L"Quillpost.dll";

// CoCreateInstance by ProgID, as IDispatch; *hr says why it failed.
ComPtr<IDispatch> CreatePlugin(HRESULT* hr);

// Invokes a method by name; arguments in declaration order. The result is cleared.
HRESULT CallByName(IDispatch* plugin, const wchar_t* name, std::vector<VARIANT> args);
// The description of this thread's last DISP_E_EXCEPTION, as plain text.
std::string LastExceptionText();

HRESULT CallInitialize(IDispatch* plugin);     // shows the viewer
HRESULT CallParseCommand(IDispatch* plugin);   // "/xquillpost": shows the viewer
HRESULT CallConfigure(IDispatch* plugin);      // shows the About window
HRESULT CallGetPublishInfo(IDispatch* plugin);

// Top-level windows of the plug-in's module: of this thread, or of any thread of the process.
std::vector<HWND> PluginWindows(bool thisThreadOnly);

// Posts WM_CLOSE to each and pumps until they are gone; false on timeout.
bool CloseByUser(const std::vector<HWND>& windows, DWORD timeoutMilliseconds = 10000);

// Asks COM to free the plug-in and waits, pumping, until its image is gone: the loader references
// that closed windows held are given back a moment later, from a pool thread. True when unloaded.
bool FreePluginAndWait();

// Counts once the platform's own work of the last cycles (a page request or an ended
// apartment's clean-up, on threads of its own) has come to its end, or after 10 s: otherwise
// the count would hold those threads' stacks.
ResourceCounts CountWhenSettled(long threadsBefore);

}  // namespace quillpost::stress
