#include "core/tls_slot.h"

namespace quillpost {

bool TlsSlot::Ready() { return InitOnceExecuteOnce(&once_, &TlsSlot::Allocate, this, nullptr) != FALSE; }

void TlsSlot::Free()
{
    if (slot_ != TLS_OUT_OF_INDEXES) TlsFree(slot_);
    slot_ = TLS_OUT_OF_INDEXES;
}

BOOL CALLBACK TlsSlot::Allocate(INIT_ONCE*, void* self, void**)
{
    auto* slot = static_cast<TlsSlot*>(self);
    slot->slot_ = TlsAlloc();
    return slot->slot_ != TLS_OUT_OF_INDEXES;
}

}  // namespace quillpost
