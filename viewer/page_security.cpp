#include "viewer/page_security.h"

#include <cstring>

namespace quillpost {
namespace {

// A run of URL actions (first to last) and the policy that refuses them.
struct RefusedActions {
    DWORD first;
    DWORD last;
    DWORD policy;
};

constexpr RefusedActions kRefused[] = {
    // ActiveX controls: downloading them, signed or not;
    {URLACTION_DOWNLOAD_MIN, URLACTION_DOWNLOAD_MAX, URLPOLICY_DISALLOW},
    // running them, overriding their object, data and script safety, running those without any;
    {URLACTION_ACTIVEX_RUN, URLACTION_ACTIVEX_CONFIRM_NOOBJECTSAFETY, URLPOLICY_DISALLOW},
    // scriptlets, which run as controls;
    {URLACTION_ACTIVEX_SCRIPTLET_RUN, URLACTION_ACTIVEX_SCRIPTLET_RUN, URLPOLICY_DISALLOW},
    // a page's scripts driving controls, whether marked safe for scripting or not.
    {URLACTION_SCRIPT_OVERRIDE_SAFETY, URLACTION_SCRIPT_OVERRIDE_SAFETY, URLPOLICY_DISALLOW},
    {URLACTION_SCRIPT_SAFE_ACTIVEX, URLACTION_SCRIPT_SAFE_ACTIVEX, URLPOLICY_DISALLOW},
    // Java: applets, scripts driving them, and their permissions (a policy of its own).
    {URLACTION_SCRIPT_JAVA_USE, URLACTION_SCRIPT_JAVA_USE, URLPOLICY_DISALLOW},
    {URLACTION_HTML_JAVA_RUN, URLACTION_HTML_JAVA_RUN, URLPOLICY_DISALLOW},
    {URLACTION_JAVA_MIN, URLACTION_JAVA_MAX, URLPOLICY_JAVA_PROHIBIT},
    // Binary (and script) behaviours, which load code of their own into the page.
    {URLACTION_BEHAVIOR_RUN, URLACTION_BEHAVIOR_RUN, URLPOLICY_DISALLOW},
    // A page leading the pane into a zone with more rights than its own.
    {URLACTION_FEATURE_ZONE_ELEVATION, URLACTION_FEATURE_ZONE_ELEVATION, URLPOLICY_DISALLOW},
};

const RefusedActions* Refusal(DWORD action)
{
    for (const RefusedActions& row : kRefused) {
        if (action >= row.first && action <= row.last) return &row;
    }
    return nullptr;
}

}  // namespace

STDMETHODIMP PageSecurity::ProcessUrlAction(LPCWSTR, DWORD action, BYTE* policy, DWORD policySize, BYTE*, DWORD,
                                            DWORD, DWORD)
{
    const RefusedActions* refusal = Refusal(action);
    if (!refusal) return INET_E_DEFAULT_ACTION;
    // A caller without room for the policy still learns from S_FALSE that it is not "allow".
    if (policy && policySize >= sizeof(refusal->policy))
        std::memcpy(policy, &refusal->policy, sizeof(refusal->policy));
    return S_FALSE;
}

STDMETHODIMP PageSecurity::GetSecuritySite(IInternetSecurityMgrSite** out)
{
    if (out) *out = nullptr;
    return INET_E_DEFAULT_ACTION;
}

STDMETHODIMP PageSecurity::QueryCustomPolicy(LPCWSTR, REFGUID, BYTE** policy, DWORD* policySize, BYTE*, DWORD,
                                             DWORD)
{
    if (policy) *policy = nullptr;
    if (policySize) *policySize = 0;
    return INET_E_DEFAULT_ACTION;
}

STDMETHODIMP PageSecurity::GetZoneMappings(DWORD, IEnumString** out, DWORD)
{
    if (out) *out = nullptr;
    return INET_E_DEFAULT_ACTION;
}

}  // namespace quillpost
