#include "component/error_info.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <string>

#include "component/identity.h"
#include "component/quillpost_idl.h"

using Microsoft::WRL::ComPtr;

namespace quillpost {
namespace {

std::wstring DescribeFailure(HRESULT hr)
{
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring description = length ? std::wstring(text, length) : std::wstring();
    LocalFree(text);
    while (!description.empty() && (description.back() == L'\n' || description.back() == L'\r'))
        description.pop_back();
    if (description.empty()) {
        wchar_t code[32];
        wsprintfW(code, L"Error 0x%08X", static_cast<unsigned>(hr));
        description = code;
    }
    return description;
}

}  // namespace

HRESULT ReportFailure(HRESULT hr)
{
    ComPtr<ICreateErrorInfo> creator;
    if (FAILED(CreateErrorInfo(&creator))) return hr;
    const std::wstring description = DescribeFailure(hr);
    creator->SetGUID(IID__Sample);
    creator->SetSource(const_cast<wchar_t*>(kProgId));
    creator->SetDescription(const_cast<wchar_t*>(description.c_str()));
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(creator.As(&info))) SetErrorInfo(0, info.Get());
    return hr;
}

}  // namespace quillpost
