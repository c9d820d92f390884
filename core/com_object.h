// The base of every COM object of the module: QueryInterface from a table, one reference count,
// and a hold on the module as a member, so that no object can forget one.
//
//   class Frame final : public ComObject<Frame, ModuleKeep, IOleInPlaceFrame> {
//       static std::span<const InterfaceRow> Interfaces();  // first row also answers IUnknown
//   };
//
// A static object (the class object) is a StaticComObject instead: no count of its own to reach
// zero, and every reference a module lock.
//
// `Keep` is ModuleLock for objects that only the host holds (it keeps the module loaded while it
// calls them), and ModuleKeep for objects lent to foreign code (a control, COM's spy list), which
// may call them after every window of ours has gone.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <wrl/client.h>

#include <new>
#include <span>
#include <type_traits>
#include <utility>

#include "core/module.h"
#include "core/raii.h"

namespace quillpost {

struct InterfaceRow {
    const IID* iid;
    IUnknown* (*reach)(void* object);
};

// The row of `Interface`, reached through the base `Via` where several bases lead to it.
template <typename Object, typename Interface, typename Via = Interface>
constexpr InterfaceRow Row(const IID& iid)
{
    return {&iid, [](void* object) -> IUnknown* { return static_cast<Via*>(static_cast<Object*>(object)); }};
}

// The interface of `table` that `iid` names, AddRef'ed; the first row also answers IUnknown.
HRESULT QueryByTable(void* object, std::span<const InterfaceRow> table, REFIID iid, void** out);

struct NoHold {};

template <typename Derived, typename Keep, typename... Bases>
class ComObject : public Bases... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return QueryByTable(static_cast<Derived*>(this), Derived::Interfaces(), iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override
    {
        // A lent object's keep may be the module's last loader reference: its deletion runs inside
        // a scope, and only straight-line code follows the scope's end. The host, which releases
        // the others, keeps a reference of its own.
        [[maybe_unused]] std::conditional_t<std::is_same_v<Keep, ModuleKeep>, ModuleHold, NoHold> running;
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    LONG references_ = 1;
    Keep keep_;
};

// An object that lives as long as the module (a class object): each reference is a module
// lock, and a caller's extra release is refused instead of destroying anything.
template <typename Derived, typename... Bases>
class StaticComObject : public Bases... {
public:
    constexpr StaticComObject() = default;
    StaticComObject(const StaticComObject&) = delete;
    StaticComObject& operator=(const StaticComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return QueryByTable(static_cast<Derived*>(this), Derived::Interfaces(), iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override
    {
        references_.Add();
        return 2;  // never the last: the object is static
    }
    STDMETHODIMP_(ULONG) Release() override
    {
        references_.Remove();
        return 1;
    }

private:
    BoundedLocks references_;
};

// A new object whose first reference `out` adopts; E_OUTOFMEMORY when there is no memory.
template <typename Object, typename... Arguments>
HRESULT MakeComObject(Microsoft::WRL::ComPtr<Object>& out, Arguments&&... arguments)
{
    auto* object = new (std::nothrow) Object(std::forward<Arguments>(arguments)...);
    if (!object) return E_OUTOFMEMORY;
    Adopt(out, object);
    return S_OK;
}

}  // namespace quillpost
