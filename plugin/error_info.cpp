#include "plugin/error_info.h"

#include <oleauto.h>
#include <wrl/client.h>

#include "core/system_error.h"
#include "plugin/identity.h"
#include "quillpost_idl.h"

using Microsoft::WRL::ComPtr;

namespace quillpost {

HRESULT ReportFailure(HRESULT hr, std::wstring_view failedStep)
{
    ComPtr<ICreateErrorInfo> creator;
    if (FAILED(CreateErrorInfo(&creator))) return hr;
    BoundedText<1024> description(failedStep);
    if (!description.Empty()) description += L": ";
    description += SystemErrorText(hr).View();
    creator->SetGUID(IID__Sample);
    creator->SetSource(const_cast<wchar_t*>(kProgId));
    creator->SetDescription(const_cast<wchar_t*>(description.CStr()));
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(creator.As(&info))) SetErrorInfo(0, info.Get());
    return hr;
}

}  // namespace quillpost
