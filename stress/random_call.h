// One random IDispatch::Invoke call: member, flags, 0-7 arguments of every VARIANT type, by
// value, by reference (some NULL) and as references to variables, named arguments, NULL
// arrays and NULL result/exception/argument-error pointers. The same seed builds the same call.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

namespace quillpost::stress {

inline constexpr UINT kMaxArguments = 7;

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next();
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }
    bool OneIn(uint32_t n) { return Below(n) == 0; }
    template <typename T, size_t N>
    const T& Pick(const T (&items)[N]) { return items[Below(N)]; }

private:
    uint64_t state_;
};

// What a call answered: its HRESULT and, when it succeeded, the result's type and bits.
struct Answer {
    HRESULT hr = S_OK;
    VARTYPE type = VT_EMPTY;
    LONGLONG bits = 0;
    bool operator==(const Answer&) const = default;
};

class RandomCall {
public:
    // `object` is what the call passes where it passes an object (never released by it).
    RandomCall(uint64_t seed, IDispatch* object);
    RandomCall(const RandomCall&) = delete;
    RandomCall& operator=(const RandomCall&) = delete;
    ~RandomCall();

    Answer Through(IDispatch* target);
    Answer Through(ITypeInfo* typeInfo, IUnknown* vtable);

    DISPID Member() const { return member_; }
    bool PassesVariables() const;       // some argument is VT_BYREF|VT_VARIANT
    bool PassesValues() const;          // some argument is by value
    // A NULL rgvarg or rgdispidNamedArgs with entries, or a variable holding a NULL reference: the
    // platform's dispatch reads through them.
    bool CrashesPlatform() const;
    bool ChangedByValueArguments() const;
    // One line for a failure report: member, flags, counts and each argument's type.
    void Describe(char* line, size_t size) const;

private:
    void AddArgument(Random& random, UINT index);
    void FillValue(Random& random, VARIANT* value, VARTYPE type);
    void FillReference(Random& random, VARIANT* argument, VARIANT* target, VARTYPE type);
    Answer Finish(HRESULT hr);

    IDispatch* object_;
    DISPID member_ = 0;
    WORD flags_ = DISPATCH_METHOD;
    VARIANT arguments_[kMaxArguments];
    VARIANT before_[kMaxArguments];  // by-value arguments as passed, to see whether they were written
    VARIANT targets_[kMaxArguments];  // what references point at
    VARIANT inner_[kMaxArguments];    // what references held in targets_ point at
    DISPID names_[kMaxArguments] = {};
    DISPPARAMS params_{};
    VARIANT result_;
    EXCEPINFO exception_{};
    UINT argError_ = 0;
    bool useResult_ = true, useException_ = true, useArgError_ = true;
};

}  // namespace quillpost::stress
