#include "image_faults.h"

namespace quillpost::stress {
namespace {

struct ImageRange {
    DWORD_PTR start, end;
};
// The module may be mapped at another place on each load.
constexpr int kRanges = 16;
ImageRange g_images[kRanges] = {};
LONG g_imageCount = 0;
LONG g_faults = 0;

LONG CALLBACK CountFaultsInTheImage(EXCEPTION_POINTERS* exception)
{
    const auto address = reinterpret_cast<DWORD_PTR>(exception->ExceptionRecord->ExceptionAddress);
    const LONG count = InterlockedCompareExchange(&g_imageCount, 0, 0);
    for (LONG i = 0; i < count; ++i) {
        if (address >= g_images[i].start && address < g_images[i].end) InterlockedIncrement(&g_faults);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

PVOID g_handler = nullptr;

}  // namespace

ImageFaultCount::ImageFaultCount() { g_handler = AddVectoredExceptionHandler(1, &CountFaultsInTheImage); }

ImageFaultCount::~ImageFaultCount()
{
    if (g_handler) RemoveVectoredExceptionHandler(g_handler);
    g_handler = nullptr;
}

void NoteImage(HMODULE module)
{
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(module) + dos->e_lfanew);
    const ImageRange range{reinterpret_cast<DWORD_PTR>(module),
                           reinterpret_cast<DWORD_PTR>(module) + nt->OptionalHeader.SizeOfImage};
    const LONG count = InterlockedCompareExchange(&g_imageCount, 0, 0);
    for (LONG i = 0; i < count; ++i) {
        if (g_images[i].start == range.start && g_images[i].end == range.end) return;
    }
    if (count == kRanges) return;
    g_images[count] = range;
    InterlockedIncrement(&g_imageCount);  // after the range is written: the handler reads without a lock
}

long FaultsInTheImage() { return InterlockedCompareExchange(&g_faults, 0, 0); }

}  // namespace quillpost::stress
