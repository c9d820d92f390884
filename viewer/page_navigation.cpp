#include "viewer/page_navigation.h"

#include "core/ascii_case.h"
#include "shell/web_address.h"

namespace quillpost {
namespace {

constexpr std::wstring_view kBlankPage = L"about:blank";
constexpr std::wstring_view kScript = L"javascript:";
// The libraries that Windows' control shows its errors and cancelled navigations from.
constexpr std::wstring_view kErrorPages[] = {L"res://ieframe.dll/", L"res://shdoclc.dll/"};

}  // namespace

bool IsShownInViewer(std::wstring_view address)
{
    return IsWebAddress(address) || ascii_case::Equals(address, kBlankPage) ||
           ascii_case::StartsWith(address, kScript);
}

bool IsControlsErrorPage(std::wstring_view address)
{
    for (std::wstring_view beginning : kErrorPages) {
        if (ascii_case::StartsWith(address, beginning)) return true;
    }
    return false;
}

}  // namespace quillpost
