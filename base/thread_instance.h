// One instance of a window class per thread (each apartment is one thread), created on first
// use and kept until the thread ends or the module unloads.
#pragma once

#include <windows.h>

#include <new>

namespace quillpost {

template <typename Window>
class PerThreadInstances {
public:
    constexpr PerThreadInstances() = default;
    PerThreadInstances(const PerThreadInstances&) = delete;
    PerThreadInstances& operator=(const PerThreadInstances&) = delete;

    bool Start()
    {
        slot_ = TlsAlloc();
        return slot_ != TLS_OUT_OF_INDEXES;
    }

    // This thread's instance (not its on-screen window), created if there is none.
    // E_OUTOFMEMORY with *out = nullptr on failure.
    HRESULT Get(Window** out)
    {
        *out = nullptr;
        if (auto* node = static_cast<Node*>(TlsGetValue(slot_))) {
            *out = &node->window;
            return S_OK;
        }
        auto* created = new (std::nothrow) Node;
        if (!created) return E_OUTOFMEMORY;
        if (!TlsSetValue(slot_, created)) {
            delete created;
            return E_OUTOFMEMORY;
        }
        AcquireSRWLockExclusive(&lock_);
        created->next = list_;
        list_ = created;
        ReleaseSRWLockExclusive(&lock_);
        *out = &created->window;
        return S_OK;
    }

    void ReleaseThisThread()
    {
        auto* node = static_cast<Node*>(TlsGetValue(slot_));
        if (!node) return;
        TlsSetValue(slot_, nullptr);
        Unlink(node);
        delete node;
    }

    // The unload query only agrees once no window is loaded, so what is left are instances.
    void Stop()
    {
        while (Node* node = list_) {
            list_ = node->next;
            delete node;
        }
        TlsFree(slot_);
        slot_ = TLS_OUT_OF_INDEXES;
    }

private:
    struct Node {
        Window window;
        Node* next = nullptr;
    };

    void Unlink(Node* node)
    {
        AcquireSRWLockExclusive(&lock_);
        for (Node** link = &list_; *link; link = &(*link)->next) {
            if (*link == node) {
                *link = node->next;
                break;
            }
        }
        ReleaseSRWLockExclusive(&lock_);
    }

    DWORD slot_ = TLS_OUT_OF_INDEXES;
    SRWLOCK lock_ = SRWLOCK_INIT;
    Node* list_ = nullptr;
};

}  // namespace quillpost
