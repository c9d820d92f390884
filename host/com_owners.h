// The host program's owners of automation strings and values. The host is an ordinary client
// of the plug-in and shares no code with it, so it keeps its own few.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string_view>

namespace quillpost::host {

// A BSTR owned by this scope; a NULL one reads as "".
class UniqueBstr {
public:
    UniqueBstr() = default;
    explicit UniqueBstr(BSTR owned) : text_(owned) {}
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    ~UniqueBstr() { SysFreeString(text_); }

    static bool Copy(std::wstring_view text, UniqueBstr& out)
    {
        SysFreeString(out.text_);
        out.text_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return out.text_ != nullptr;
    }

    BSTR Get() const { return text_; }
    // Lends the (emptied) slot to a call that fills it.
    BSTR* Put()
    {
        SysFreeString(text_);
        text_ = nullptr;
        return &text_;
    }
    std::wstring_view View() const { return {text_ ? text_ : L"", SysStringLen(text_)}; }

private:
    BSTR text_ = nullptr;
};

// A result VARIANT, cleared when the scope ends.
class UniqueVariant {
public:
    UniqueVariant() { VariantInit(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { VariantClear(&value_); }

    const VARIANT& Get() const { return value_; }
    VARIANT* Put()
    {
        VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
};

}  // namespace quillpost::host
