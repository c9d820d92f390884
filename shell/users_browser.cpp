#include "shell/users_browser.h"

#include "shell/shell.h"
#include "shell/web_address.h"

namespace quillpost {
HRESULT OpenInUsersBrowser(std::wstring_view address)
{
    // Quoted whole: nothing inside can end the argument, so the address is the one argument.
    WebAddressText commandLine(L"Explorer \"");
    if (HRESULT hr = AppendWebAddressForCommandLine(address, commandLine); FAILED(hr)) return hr;
    commandLine += L"\"";
    return Shell(commandLine.View(), SW_SHOWNORMAL);
}

}  // namespace quillpost
