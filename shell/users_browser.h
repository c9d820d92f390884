// Opening a web page in the user's own browser, from our process: the shell program is started
// with the address, as the About window's links start it, and the system's default browser opens
// the page. Nothing is waited for.
#pragma once

#include <windows.h>

#include <string_view>

namespace quillpost {

// Starts "Explorer" with `address` as its one quoted argument, written as
// AppendWebAddressForCommandLine writes it, with the browser's window shown as usual. Only http:
// and https: addresses up to kLongestWebAddress characters are opened: any other is refused with
// that function's error and nothing starts. Shell's errors otherwise; tells the user nothing.
HRESULT OpenInUsersBrowser(std::wstring_view address);

}  // namespace quillpost
