// The six operations of the host contract that Sample answers.
//
// Pointers the caller passes for results are checked before anything is written, so a
// call either fails with nothing written or writes all that it is meant to write. The one
// exception is a result VARIANT: it is a pure out-parameter, so it is made empty first and a
// failure leaves it empty, never holding whatever the caller's memory held.
#include <wrl/client.h>

#include <algorithm>
#include <string>

#include "about/about_instance.h"
#include "about/form2.h"
#include "core/raii.h"
#include "plugin/error_info.h"
#include "plugin/host_contract.h"
#include "plugin/sample.h"
#include "viewer/form1.h"
#include "viewer/viewer_instance.h"

using Microsoft::WRL::ComPtr;

namespace quillpost {
namespace {

// Replaces a caller's by-reference string, freeing the string it held.
void Assign(BSTR* target, UniqueBstr& value) { SysFreeString(std::exchange(*target, value.Release())); }

// The whole BSTR, embedded NULs included, must equal the command; case is ignored.
bool IsRecognisedCommand(BSTR command)
{
    const UINT length = SysStringLen(command);
    const int expectedLength = static_cast<int>(std::char_traits<wchar_t>::length(kRecognisedCommand));
    if (static_cast<int>(length) != expectedLength) return false;
    return CompareStringOrdinal(command, expectedLength, kRecognisedCommand, expectedLength, TRUE) == CSTR_EQUAL;
}

std::wstring_view FailedStepOf(const Form1* viewer) { return viewer ? viewer->FailedStep() : std::wstring_view(); }

// The e-mail address followed directly by the suffix, as one string; false when out of memory.
bool JoinHeading(BSTR email, UniqueBstr& heading)
{
    const UINT emailLength = SysStringLen(email);
    constexpr UINT kSuffixLength = ARRAYSIZE(kViewingHeadingSuffix) - 1;
    heading.Reset(SysAllocStringLen(nullptr, emailLength + kSuffixLength));
    if (!heading.Get()) return false;
    std::copy_n(email ? email : L"", emailLength, heading.Get());
    std::copy_n(kViewingHeadingSuffix, kSuffixLength, heading.Get() + emailLength);
    return true;
}

HRESULT ShowViewer(Form1** viewer)
{
    if (HRESULT hr = GetViewerWindow(viewer); FAILED(hr)) return hr;
    return (*viewer)->Show();
}

}  // namespace

STDMETHODIMP Sample::Initialize(LONG, BSTR sUserEmail, IDispatch* oMessenger, VARIANT_BOOL* result)
{
    if (!result) return E_POINTER;
    ComPtr<IDispatch> messenger(oMessenger);  // held for the call, never used

    UniqueBstr heading;
    if (!JoinHeading(sUserEmail, heading)) return ReportFailure(E_OUTOFMEMORY);

    Form1* viewer = nullptr;
    if (HRESULT hr = ShowViewer(&viewer); FAILED(hr)) return ReportFailure(hr, FailedStepOf(viewer));
    if (HRESULT hr = viewer->SetHeading(heading.Get()); FAILED(hr)) return ReportFailure(hr, viewer->FailedStep());
    *result = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP Sample::Uninitialize(VARIANT* result)
{
    if (!result) return E_POINTER;
    VariantInit(result);
    return S_OK;
}

STDMETHODIMP Sample::Configure(VARIANT* result)
{
    if (!result) return E_POINTER;
    VariantInit(result);
    Form2* about = nullptr;
    if (HRESULT hr = GetAboutWindow(&about); FAILED(hr)) return ReportFailure(hr);
    if (HRESULT hr = about->Show(); FAILED(hr)) return ReportFailure(hr, about->FailedStep());
    return S_OK;
}

STDMETHODIMP Sample::GetPublishInfo(BSTR* sPluginName, LONG* nCommandCount, LONG* nTagCount,
                                    VARIANT_BOOL* result)
{
    if (!sPluginName || !nCommandCount || !nTagCount || !result) return E_POINTER;
    UniqueBstr name;
    if (!UniqueBstr::Copy(kPluginName, name)) return ReportFailure(E_OUTOFMEMORY);
    Assign(sPluginName, name);
    *nCommandCount = kCommandCount;
    // The tag count stays as the host passed it: the plug-in publishes no tags.
    *result = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP Sample::GetPublishCommandInfo(LONG nCommandIdx, BSTR* sName, BSTR* sValue, BSTR* sHelp,
                                           VARIANT* result)
{
    if (!sName || !sValue || !sHelp || !result) return E_POINTER;
    VariantInit(result);
    for (const PublishedCommand& command : kCommands) {
        if (command.index != nCommandIdx) continue;
        UniqueBstr name, value;
        if (!UniqueBstr::Copy(command.name, name) || !UniqueBstr::Copy(command.value, value))
            return ReportFailure(E_OUTOFMEMORY);
        Assign(sName, name);
        Assign(sValue, value);
    }
    // No help text is published: sHelp keeps what the host passed.
    return S_OK;
}

STDMETHODIMP Sample::ParseCommand(BSTR sCommand, BSTR, IDispatch* oConversationWnd, BSTR* sResult,
                                  VARIANT_BOOL* result)
{
    if (!sResult || !result) return E_POINTER;
    ComPtr<IDispatch> conversation(oConversationWnd);  // held for the call, never used

    if (!IsRecognisedCommand(sCommand)) {
        *result = VARIANT_FALSE;
        return S_OK;
    }
    UniqueBstr empty;
    if (!UniqueBstr::Copy(L"", empty)) return ReportFailure(E_OUTOFMEMORY);
    Form1* viewer = nullptr;
    if (HRESULT hr = ShowViewer(&viewer); FAILED(hr)) return ReportFailure(hr, FailedStepOf(viewer));
    Assign(sResult, empty);
    *result = VARIANT_TRUE;
    return S_OK;
}

}  // namespace quillpost
