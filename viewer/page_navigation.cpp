#include "viewer/page_navigation.h"

#include "base/ascii_case.h"
#include "base/web_address.h"

namespace quillpost {
namespace {

constexpr std::wstring_view kBlankPage = L"about:blank";
// Windows' control shows its error and cancelled-navigation pages from these libraries.
constexpr std::wstring_view kControlPages[] = {L"res://ieframe.dll/", L"res://shdoclc.dll/"};
constexpr std::wstring_view kScript = L"javascript:";

}  // namespace

bool IsShownInViewer(std::wstring_view address)
{
    if (IsWebAddress(address) || ascii_case::Equals(address, kBlankPage) || ascii_case::StartsWith(address, kScript))
        return true;
    for (std::wstring_view prefix : kControlPages) {
        if (ascii_case::StartsWith(address, prefix)) return true;
    }
    return false;
}

}  // namespace quillpost
