// The few pieces of the C++ runtime that the DLL's code still calls, on the system alone.
//
// The DLL's libraries are built without exceptions and without run-time type information, so the
// DLL needs none of the C++ runtime's exception machinery, type information, name demangler or
// thread library. What the compiler and the standard headers still call is defined here, and linked
// into the DLL only (the test programs keep the full runtime):
//   - operator new and delete, on the C runtime's heap. The component makes its own objects with
//     `new (std::nothrow)` and answers E_OUTOFMEMORY; a plain `new` (the standard containers') that
//     finds no memory ends the process at once, as the exception it would throw would on its way
//     out through a COM method;
//   - the standard library's error paths (std::__throw_*), which end the process the same way;
//   - the guards of function-local statics, without a lock to create or free: two apartments that
//     reach the same static at once still initialise it once;
//   - the entry that abstract classes' vtables name for their pure functions.
#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

[[noreturn]] void FailFast()
{
    RaiseFailFastException(nullptr, nullptr, 0);
    __builtin_trap();  // not reached
}

void* Allocate(std::size_t size) { return std::malloc(size ? size : 1); }

void* AllocateOrFail(std::size_t size)
{
    if (void* memory = Allocate(size)) return memory;
    FailFast();
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrFail(size); }
void* operator new[](std::size_t size) { return AllocateOrFail(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace std {

void __throw_bad_alloc() { FailFast(); }
void __throw_bad_array_new_length() { FailFast(); }
void __throw_length_error(const char*) { FailFast(); }
void __throw_logic_error(const char*) { FailFast(); }
void __throw_out_of_range(const char*) { FailFast(); }
void __throw_out_of_range_fmt(const char*, ...) { FailFast(); }
void __throw_invalid_argument(const char*) { FailFast(); }

}  // namespace std

// A guard's first byte says "initialised" (the compiler's inline test reads only that byte); its
// second byte says "being initialised" and is taken by one thread at a time. The others yield until
// the first one has finished, or has given up after a failed initialisation.
namespace {

using Guard = long long;

char* Done(Guard* guard) { return reinterpret_cast<char*>(guard); }
char* Busy(Guard* guard) { return reinterpret_cast<char*>(guard) + 1; }

}  // namespace

extern "C" int __cxa_guard_acquire(Guard* guard)
{
    for (;;) {
        if (__atomic_load_n(Done(guard), __ATOMIC_ACQUIRE)) return 0;
        if (!__atomic_exchange_n(Busy(guard), 1, __ATOMIC_ACQUIRE)) {
            if (!__atomic_load_n(Done(guard), __ATOMIC_ACQUIRE)) return 1;  // ours to initialise
            __atomic_store_n(Busy(guard), 0, __ATOMIC_RELEASE);
            return 0;
        }
        SwitchToThread();
    }
}

extern "C" void __cxa_guard_release(Guard* guard)
{
    __atomic_store_n(Done(guard), 1, __ATOMIC_RELEASE);
    __atomic_store_n(Busy(guard), 0, __ATOMIC_RELEASE);
}

extern "C" void __cxa_guard_abort(Guard* guard) { __atomic_store_n(Busy(guard), 0, __ATOMIC_RELEASE); }

// An abstract class's vtable (a COM object base's, seen while the object is being built) names
// this for its pure functions; nothing calls it, and the runtime's own would bring its terminate
// handler and name demangler along.
extern "C" void __cxa_pure_virtual() { FailFast(); }
