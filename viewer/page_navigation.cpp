#include "viewer/page_navigation.h"

#include "core/ascii_case.h"
#include "shell/web_address.h"

namespace quillpost {
namespace {

// The blank page whole, then the beginnings of script addresses and of the pages that Windows'
// control shows its errors and cancelled navigations from.
constexpr std::wstring_view kBlankPage = L"about:blank";
constexpr std::wstring_view kBeginnings[] = {L"javascript:", L"res://ieframe.dll/", L"res://shdoclc.dll/"};

}  // namespace

bool IsShownInViewer(std::wstring_view address)
{
    if (IsWebAddress(address) || ascii_case::Equals(address, kBlankPage)) return true;
    for (std::wstring_view beginning : kBeginnings) {
        if (ascii_case::StartsWith(address, beginning)) return true;
    }
    return false;
}

}  // namespace quillpost
