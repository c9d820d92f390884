// Owners for a slim reader/writer lock held in a scope.
#pragma once

#include <windows.h>

namespace quillpost {

class SrwExclusive {
public:
    explicit SrwExclusive(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    SrwExclusive(const SrwExclusive&) = delete;
    SrwExclusive& operator=(const SrwExclusive&) = delete;
    ~SrwExclusive() { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK& lock_;
};

class SrwShared {
public:
    explicit SrwShared(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockShared(&lock_); }
    SrwShared(const SrwShared&) = delete;
    SrwShared& operator=(const SrwShared&) = delete;
    ~SrwShared() { ReleaseSRWLockShared(&lock_); }

private:
    SRWLOCK& lock_;
};

}  // namespace quillpost
