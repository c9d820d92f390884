// A copy of one registry key and everything below it, held as one flat record of keys and
// values: read before a change, compared and written back when the change fails. It grows
// through the C runtime's allocator and reports running out of memory as E_OUTOFMEMORY.
#pragma once

#include <windows.h>

#include <cstddef>

namespace quillpost {

class RegistrySnapshot {
public:
    RegistrySnapshot() = default;
    ~RegistrySnapshot();
    RegistrySnapshot(const RegistrySnapshot&) = delete;
    RegistrySnapshot& operator=(const RegistrySnapshot&) = delete;

    // Copies the key at `path` under `root`. S_FALSE (an empty copy) when there is no such key;
    // a failure when any part of it cannot be read or held, or it is too deep to be written back.
    HRESULT Read(HKEY root, const wchar_t* path);

    // Makes the key at `path` hold exactly the copy, or removes it when the copy says it did not
    // exist. Allocates nothing; the first failure is returned.
    HRESULT WriteBack(HKEY root, const wchar_t* path) const;

    bool SameAs(const RegistrySnapshot& other) const;

private:
    bool Append(const void* bytes, std::size_t count);
    bool AppendMark(DWORD mark) { return Append(&mark, sizeof(mark)); }
    bool AppendCounted(const void* bytes, DWORD count);
    HRESULT ReadKey(HKEY key, int depth);  // depth: the outermost key's is 1
    HRESULT ReadValues(HKEY key, DWORD count, DWORD longestName, DWORD largestData);
    HRESULT ReadSubkeys(HKEY key, DWORD count, DWORD longestName, int depth);
    void Clear();

    unsigned char* bytes_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace quillpost
