#include "import_patch.h"

#include <cstring>

namespace quillpost::stress {
namespace {

void WriteSlot(void** slot, void* value)
{
    DWORD previous = 0;
    if (!VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &previous)) return;
    *slot = value;
    VirtualProtect(slot, sizeof(*slot), previous, &previous);
}

}  // namespace

ImportPatch::ImportPatch(HMODULE module, const char* function, const void* replacement, void** original)
{
    if (!module) return;
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress) return;
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); entry->Name;
         ++entry) {
        if (!entry->OriginalFirstThunk) continue;  // without the name table the slots cannot be told apart
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            if (slotCount_ == kMaxSlots) return;
            Patch(reinterpret_cast<void**>(&addresses->u1.Function), replacement, slotCount_ ? nullptr : original);
        }
    }
}

ImportPatch::ImportPatch(void** slot, const void* replacement, void** original)
{
    if (slot) Patch(slot, replacement, original);
}

void ImportPatch::Patch(void** slot, const void* replacement, void** original)
{
    slots_[slotCount_] = slot;
    originals_[slotCount_] = *slot;
    if (original) *original = *slot;  // a call that reaches the replacement at once finds it
    ++slotCount_;
    WriteSlot(slot, const_cast<void*>(replacement));
}

ImportPatch::~ImportPatch()
{
    for (int i = 0; i < slotCount_; ++i) WriteSlot(slots_[i], originals_[i]);
}

}  // namespace quillpost::stress
