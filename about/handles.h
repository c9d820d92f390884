// Owners for the kernel and GDI handles the About window takes: each is freed exactly once.
#pragma once

#include <windows.h>

#include <utility>

namespace quillpost::about {

template <typename Handle, auto Free>
class UniqueOwner {
public:
    UniqueOwner() = default;
    explicit UniqueOwner(Handle owned) : value_(owned) {}
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    ~UniqueOwner() { Reset(); }

    Handle Get() const { return value_; }
    void Reset(Handle owned = nullptr)
    {
        if (Handle old = std::exchange(value_, owned)) Free(old);
    }

private:
    Handle value_ = nullptr;
};

inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void DeleteFont(HFONT font) { DeleteObject(font); }
inline void FreeLocal(wchar_t* text) { LocalFree(text); }

using UniqueHandle = UniqueOwner<HANDLE, CloseKernelHandle>;
using UniqueFont = UniqueOwner<HFONT, DeleteFont>;
using UniqueLocalText = UniqueOwner<wchar_t*, FreeLocal>;

}  // namespace quillpost::about
