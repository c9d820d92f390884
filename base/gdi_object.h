// A memory DC that draws into a bitmap for one scope; the owners of GDI objects are in raii.h.
#pragma once

#include <windows.h>

#include "base/raii.h"

namespace quillpost {

// A memory DC with one bitmap selected for the scope.
class MemoryDc {
public:
    MemoryDc(HDC compatibleWith, HBITMAP bitmap) : dc_(CreateCompatibleDC(compatibleWith))
    {
        if (dc_) previous_ = SelectObject(dc_, bitmap);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    ~MemoryDc()
    {
        if (!dc_) return;
        SelectObject(dc_, previous_);
        DeleteDC(dc_);
    }
    HDC Get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace quillpost
