// The base of every COM object of the module: QueryInterface from a table, one reference count,
// and what keeps the module as a member, so that no object can forget it.
//
//   class Frame final : public ComObject<Frame, LentKeep, IOleInPlaceFrame> {
//       static std::span<const InterfaceRow> Interfaces();  // first row also answers IUnknown
//   };
//
// A static object (the class object) is a StaticComObject instead: no count of its own to reach
// zero, and every reference an unload veto.
//
// `Keep` is UnloadVeto for objects that only the host holds (it keeps the module loaded while it
// calls them), and LentKeep for objects lent to foreign code (a control, COM's spy list), which
// may call them after every window of ours has gone.
//
// A lent object's methods run on the caller's reference: COM's callers hold one across each call,
// and the object's LentKeep keeps the module mapped while the object exists. That holds while the
// method neither pumps messages nor ends the object; Release, which can end it, takes a running
// scope first. A method that acts on a window, where pumping starts, reaches the window only
// through an EntryWindow (forms/window_entry.h), whose entry takes a running scope as well as the
// window's DPI context; one that pumps otherwise takes a running scope itself.
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

struct NoScope {};

template <typename Derived, typename Keep, typename... Bases>
class ComObject : public Bases... {
    static_assert(std::is_same_v<Keep, UnloadVeto> || std::is_same_v<Keep, LentKeep>,
                  "an object is either the host's alone (UnloadVeto) or lent to foreign code (LentKeep)");

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
        [[maybe_unused]] std::conditional_t<std::is_same_v<Keep, LentKeep>, RunningScope, NoScope> running;
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

// An object that lives as long as the module (a class object): each reference is an unload
// veto, and a caller's extra release is refused instead of destroying anything.
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
    BoundedVetoes references_;
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
