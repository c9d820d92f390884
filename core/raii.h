// Small owners for the handles the component touches: each frees exactly once.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string_view>
#include <utility>

namespace quillpost {

// A BSTR owned by this scope. Empty() is the NULL BSTR, which automation treats as "".
class UniqueBstr {
public:
    UniqueBstr() = default;
    explicit UniqueBstr(BSTR owned) : value_(owned) {}
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    UniqueBstr(UniqueBstr&& other) noexcept : value_(other.Release()) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept
    {
        Reset(other.Release());
        return *this;
    }
    ~UniqueBstr() { Reset(); }

    // Copies the whole text, embedded NULs included; false when out of memory.
    static bool Copy(std::wstring_view text, UniqueBstr& out)
    {
        BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!copy) return false;
        out.Reset(copy);
        return true;
    }

    BSTR Get() const { return value_; }
    // Frees the current string and lends the slot to a call that fills it.
    BSTR* Put()
    {
        Reset();
        return &value_;
    }
    // Lends the slot with the string still in it, to a by-reference parameter that may replace
    // it (and then frees the one it replaced).
    BSTR* InOut() { return &value_; }
    BSTR Release() { return std::exchange(value_, nullptr); }
    void Reset(BSTR owned = nullptr)
    {
        if (value_ != owned) SysFreeString(std::exchange(value_, owned));
    }
    std::wstring_view View() const { return {value_ ? value_ : L"", SysStringLen(value_)}; }

private:
    BSTR value_ = nullptr;
};

// An open registry key.
class UniqueHkey {
public:
    UniqueHkey() = default;
    UniqueHkey(const UniqueHkey&) = delete;
    UniqueHkey& operator=(const UniqueHkey&) = delete;
    ~UniqueHkey() { Reset(); }

    HKEY Get() const { return key_; }
    HKEY* Put()
    {
        Reset();
        return &key_;
    }
    void Reset()
    {
        if (key_) RegCloseKey(std::exchange(key_, nullptr));
    }

private:
    HKEY key_ = nullptr;
};

// A handle freed by `Free` when the scope ends (kernel handles, GDI objects, LocalAlloc'ed text).
template <typename Handle, auto Free>
class UniqueOwner {
public:
    UniqueOwner() = default;
    explicit UniqueOwner(Handle owned) : value_(owned) {}
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    ~UniqueOwner() { Reset(); }

    Handle Get() const { return value_; }
    explicit operator bool() const { return value_ != nullptr; }
    // Hands the handle to the caller, who frees it.
    Handle Release() { return std::exchange(value_, nullptr); }
    void Reset(Handle owned = nullptr)
    {
        if (Handle old = std::exchange(value_, owned)) Free(old);
    }

private:
    Handle value_ = nullptr;
};

namespace raii_detail {
inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void Unhook(HHOOK hook) { UnhookWindowsHookEx(hook); }
}  // namespace raii_detail

using UniqueHandle = UniqueOwner<HANDLE, raii_detail::CloseKernelHandle>;
using UniqueHook = UniqueOwner<HHOOK, raii_detail::Unhook>;
template <typename Handle>
using UniqueGdiObject = UniqueOwner<Handle, raii_detail::DeleteGdiObject>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;
using UniqueFont = UniqueGdiObject<HFONT>;

// A VARIANT cleared when the scope ends.
class UniqueVariant {
public:
    UniqueVariant() { VariantInit(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    UniqueVariant(UniqueVariant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
    ~UniqueVariant() { VariantClear(&value_); }

    VARIANT* operator&() { return &value_; }
    const VARIANT& Get() const { return value_; }
    VARIANT* Put()
    {
        VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
};

// Makes `owner` the owner of a reference the caller already holds. (ComPtr::Attach would do it, but
// the toolchain's ComPtr adds a reference of its own in Attach.)
template <typename Interface>
void Adopt(Microsoft::WRL::ComPtr<Interface>& owner, Interface* reference)
{
    *owner.ReleaseAndGetAddressOf() = reference;
}

// A description that an ITypeInfo lends (its TYPEATTR or a FUNCDESC), given back to it when the
// scope ends. Read(info) / Read(info, index) fill it; the lender stays referenced meanwhile.
template <typename Description, auto Get, auto GiveBack>
class LentDescription {
public:
    LentDescription() = default;
    LentDescription(const LentDescription&) = delete;
    LentDescription& operator=(const LentDescription&) = delete;
    ~LentDescription() { Reset(); }

    template <typename... Index>
    HRESULT Read(ITypeInfo* lender, Index... index)
    {
        Reset();
        Description* read = nullptr;
        if (HRESULT hr = (lender->*Get)(index..., &read); FAILED(hr)) return hr;
        lender_ = lender;
        description_ = read;
        return S_OK;
    }
    const Description* operator->() const { return description_; }
    const Description& operator*() const { return *description_; }
    void Reset()
    {
        if (!description_) return;
        (lender_.Get()->*GiveBack)(std::exchange(description_, nullptr));
        lender_.Reset();
    }

private:
    Microsoft::WRL::ComPtr<ITypeInfo> lender_;
    Description* description_ = nullptr;
};

using TypeAttributes = LentDescription<TYPEATTR, &ITypeInfo::GetTypeAttr, &ITypeInfo::ReleaseTypeAttr>;
using FunctionDescription = LentDescription<FUNCDESC, &ITypeInfo::GetFuncDesc, &ITypeInfo::ReleaseFuncDesc>;

}  // namespace quillpost
