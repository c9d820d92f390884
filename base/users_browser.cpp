#include "base/users_browser.h"

#include "base/bounded_text.h"
#include "base/shell.h"
#include "base/web_address.h"

namespace quillpost {
namespace {

constexpr std::wstring_view kShellProgram = L"Explorer ";

}  // namespace

HRESULT OpenInUsersBrowser(std::wstring_view address)
{
    WebAddressText written;
    if (HRESULT hr = WriteWebAddressForCommandLine(address, written); FAILED(hr)) return hr;
    // Quoted whole: nothing inside can end the argument, so the address is the one argument.
    BoundedText<kShellProgram.size() + kLongestWebAddress + 3> commandLine(kShellProgram);
    commandLine += L"\"";
    commandLine += written.View();
    commandLine += L"\"";
    return Shell(commandLine.View(), SW_SHOWNORMAL);
}

}  // namespace quillpost
