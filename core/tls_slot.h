// A thread-local slot of the module's, allocated on first use rather than in the entry point,
// and freed by the entry point when the module is freed.
#pragma once

#include <windows.h>

namespace quillpost {

class TlsSlot {
public:
    constexpr TlsSlot() = default;
    TlsSlot(const TlsSlot&) = delete;
    TlsSlot& operator=(const TlsSlot&) = delete;

    // False when the process has no slot left.
    bool Ready();
    // This thread's value; nullptr before the slot exists.
    void* Value() const { return slot_ != TLS_OUT_OF_INDEXES ? TlsGetValue(slot_) : nullptr; }
    bool SetValue(void* value) { return Ready() && TlsSetValue(slot_, value); }
    // For the entry point when the module is freed.
    void Free();

private:
    static BOOL CALLBACK Allocate(INIT_ONCE*, void* self, void**);

    INIT_ONCE once_ = INIT_ONCE_STATIC_INIT;
    DWORD slot_ = TLS_OUT_OF_INDEXES;
};

}  // namespace quillpost
