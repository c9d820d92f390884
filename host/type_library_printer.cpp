#include "host/type_library_printer.h"

#include <wrl/client.h>

#include <string>

#include "host/com_owners.h"

using Microsoft::WRL::ComPtr;

namespace quillpost::host {
namespace {

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, ARRAYSIZE(text));
    return text;
}

std::wstring TypeName(ITypeInfo* context, const TYPEDESC& type)
{
    switch (type.vt) {
    case VT_PTR: return TypeName(context, *type.lptdesc) + L"*";
    case VT_I4: return L"long";
    case VT_BSTR: return L"BSTR";
    case VT_BOOL: return L"VARIANT_BOOL";
    case VT_VARIANT: return L"VARIANT";
    case VT_DISPATCH: return L"IDispatch*";
    case VT_UNKNOWN: return L"IUnknown*";
    case VT_HRESULT: return L"HRESULT";
    case VT_VOID: return L"void";
    case VT_USERDEFINED: {
        ComPtr<ITypeInfo> referenced;
        UniqueBstr name;
        if (SUCCEEDED(context->GetRefTypeInfo(type.hreftype, &referenced)))
            referenced->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr);
        return std::wstring(name.View());
    }
    default: return L"vt" + std::to_wstring(type.vt);
    }
}

std::wstring Directions(USHORT flags)
{
    std::wstring text;
    auto add = [&](USHORT flag, const wchar_t* word) {
        if (!(flags & flag)) return;
        text += text.empty() ? L"[" : L", ";
        text += word;
    };
    add(PARAMFLAG_FIN, L"in");
    add(PARAMFLAG_FOUT, L"out");
    add(PARAMFLAG_FRETVAL, L"retval");
    add(PARAMFLAG_FOPT, L"optional");
    return text.empty() ? text : text + L"] ";
}

void PrintFunction(ITypeInfo* info, UINT index, std::FILE* out)
{
    FUNCDESC* function = nullptr;
    if (FAILED(info->GetFuncDesc(index, &function))) return;
    BSTR names[32] = {};
    UINT nameCount = 0;
    info->GetNames(function->memid, names, ARRAYSIZE(names), &nameCount);
    std::fwprintf(out, L"        [id(0x%08lX), vtable slot %d] %ls %ls(", function->memid,
                  function->oVft / static_cast<int>(sizeof(void*)),
                  TypeName(info, function->elemdescFunc.tdesc).c_str(), names[0]);
    for (SHORT p = 0; p < function->cParams; ++p) {
        const ELEMDESC& param = function->lprgelemdescParam[p];
        const UINT nameIndex = p + 1;
        std::fwprintf(out, L"%ls%ls%ls%ls%ls", p ? L", " : L"", Directions(param.paramdesc.wParamFlags).c_str(),
                      TypeName(info, param.tdesc).c_str(), nameIndex < nameCount ? L" " : L"",
                      nameIndex < nameCount ? names[nameIndex] : L"");
    }
    std::fwprintf(out, L");\n");
    for (UINT n = 0; n < nameCount; ++n) SysFreeString(names[n]);
    info->ReleaseFuncDesc(function);
}

// The vtable view of a dual interface lists the methods with their slots.
ComPtr<ITypeInfo> VtableView(ITypeInfo* info, const TYPEATTR& attributes)
{
    ComPtr<ITypeInfo> view = info;
    HREFTYPE dual = 0;
    if ((attributes.wTypeFlags & TYPEFLAG_FDUAL) && SUCCEEDED(info->GetRefTypeOfImplType(-1, &dual)))
        info->GetRefTypeInfo(dual, &view);
    return view;
}

void PrintInterface(ITypeInfo* info, const TYPEATTR& attributes, const wchar_t* name, std::FILE* out)
{
    ComPtr<ITypeInfo> view = VtableView(info, attributes);
    TYPEATTR* viewAttributes = nullptr;
    if (FAILED(view->GetTypeAttr(&viewAttributes))) return;
    HREFTYPE baseRef = 0;
    ComPtr<ITypeInfo> base;
    UniqueBstr baseName;
    if (SUCCEEDED(view->GetRefTypeOfImplType(0, &baseRef)) && SUCCEEDED(view->GetRefTypeInfo(baseRef, &base)))
        base->GetDocumentation(MEMBERID_NIL, baseName.Put(), nullptr, nullptr, nullptr);
    std::fwprintf(out, L"    interface %ls : %ls  // %u vtable entries, %u methods\n    {\n", name,
                  baseName.Get() ? baseName.Get() : L"?", viewAttributes->cbSizeVft / sizeof(void*),
                  viewAttributes->cFuncs);
    for (UINT f = 0; f < viewAttributes->cFuncs; ++f) PrintFunction(view.Get(), f, out);
    std::fwprintf(out, L"    };\n\n");
    view->ReleaseTypeAttr(viewAttributes);
}

void PrintCoclass(ITypeInfo* info, const TYPEATTR& attributes, const wchar_t* name, std::FILE* out)
{
    std::fwprintf(out, L"    coclass %ls\n    {\n", name);
    for (UINT i = 0; i < attributes.cImplTypes; ++i) {
        HREFTYPE ref = 0;
        INT flags = 0;
        ComPtr<ITypeInfo> implemented;
        UniqueBstr implementedName;
        if (FAILED(info->GetRefTypeOfImplType(i, &ref)) || FAILED(info->GetRefTypeInfo(ref, &implemented))) continue;
        info->GetImplTypeFlags(i, &flags);
        implemented->GetDocumentation(MEMBERID_NIL, implementedName.Put(), nullptr, nullptr, nullptr);
        std::fwprintf(out, L"        %lsinterface %ls;\n", (flags & IMPLTYPEFLAG_FDEFAULT) ? L"[default] " : L"",
                      implementedName.Get());
    }
    std::fwprintf(out, L"    };\n\n");
}

void PrintTypeInfo(ITypeLib* library, UINT index, std::FILE* out)
{
    ComPtr<ITypeInfo> info;
    TYPEATTR* attributes = nullptr;
    if (FAILED(library->GetTypeInfo(index, &info)) || FAILED(info->GetTypeAttr(&attributes))) return;
    UniqueBstr name;
    info->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr);
    std::fwprintf(out, L"    [uuid(%ls), version(%u.%u), typeflags(0x%X)]\n", GuidText(attributes->guid).c_str(),
                  attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->wTypeFlags);
    if (attributes->typekind == TKIND_COCLASS) {
        PrintCoclass(info.Get(), *attributes, name.Get(), out);
    } else {
        PrintInterface(info.Get(), *attributes, name.Get(), out);
    }
    info->ReleaseTypeAttr(attributes);
}

}  // namespace

HRESULT PrintTypeLibrary(ITypeLib* library, std::FILE* out)
{
    TLIBATTR* attributes = nullptr;
    if (HRESULT hr = library->GetLibAttr(&attributes); FAILED(hr)) return hr;
    UniqueBstr name;
    library->GetDocumentation(-1, name.Put(), nullptr, nullptr, nullptr);
    std::fwprintf(out, L"[uuid(%ls), version(%u.%u), lcid(%lu), syskind(%d), libflags(0x%X)]\nlibrary %ls\n{\n",
                  GuidText(attributes->guid).c_str(), attributes->wMajorVerNum, attributes->wMinorVerNum,
                  attributes->lcid, attributes->syskind, attributes->wLibFlags, name.Get());
    library->ReleaseTLibAttr(attributes);
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) PrintTypeInfo(library, i, out);
    std::fwprintf(out, L"};\n");
    return S_OK;
}

}  // namespace quillpost::host
