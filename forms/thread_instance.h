// One instance of a form per thread, created on first use and kept until the thread ends or
// the module unloads. Windows are never destroyed here: that happens at the thread's final
// CoUninitialize (form_window.h), so thread and process detach only free memory.
#pragma once

#include <windows.h>

#include <new>

#include "core/locks.h"
#include "core/tls_slot.h"

namespace quillpost {

template <typename Form>
class PerThreadInstances {
public:
    constexpr PerThreadInstances() = default;
    PerThreadInstances(const PerThreadInstances&) = delete;
    PerThreadInstances& operator=(const PerThreadInstances&) = delete;

    // This thread's instance (not its on-screen window), created if there is none.
    // E_OUTOFMEMORY with *out = nullptr on failure.
    HRESULT Get(Form** out)
    {
        *out = nullptr;
        if (auto* node = static_cast<Node*>(slot_.Value())) {
            *out = &node->form;
            return S_OK;
        }
        auto* created = new (std::nothrow) Node;
        if (!created) return E_OUTOFMEMORY;
        if (!slot_.SetValue(created)) {
            delete created;
            return E_OUTOFMEMORY;
        }
        SrwExclusive listing(lock_);
        created->next = list_;
        list_ = created;
        *out = &created->form;
        return S_OK;
    }

    // This thread's instance, or nullptr: none is created.
    Form* Find() const
    {
        auto* node = static_cast<Node*>(slot_.Value());
        return node ? &node->form : nullptr;
    }

    // The thread is ending. A form whose window still exists (the thread never ended its COM)
    // is abandoned to the system and its memory kept, since the window may still call it.
    void ReleaseThisThread()
    {
        auto* node = static_cast<Node*>(slot_.Value());
        if (!node) return;
        slot_.SetValue(nullptr);
        Unlink(node);
        if (node->form.HasWindow()) {
            node->form.Abandon();
            return;
        }
        delete node;
    }

    // The module is being freed: windows hold it, so none is left, and only memory is freed.
    void Stop()
    {
        while (Node* node = list_) {
            list_ = node->next;
            if (!node->form.HasWindow()) delete node;
        }
        slot_.Free();
    }

private:
    struct Node {
        Form form;
        Node* next = nullptr;
    };

    void Unlink(Node* node)
    {
        SrwExclusive listing(lock_);
        for (Node** link = &list_; *link; link = &(*link)->next) {
            if (*link == node) {
                *link = node->next;
                break;
            }
        }
    }

    TlsSlot slot_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    Node* list_ = nullptr;
};

}  // namespace quillpost
