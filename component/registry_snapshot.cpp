#include "component/registry_snapshot.h"

#include <cstdlib>
#include <cstring>

#include "core/raii.h"
#include "component/registry_keys.h"

namespace quillpost {
namespace {

// The record: 'K' <name> ... 'E' for a key, 'V' <name> <type> <data> for a value; a name or data
// is a DWORD count of bytes and the bytes (names with their NUL), padded to whole DWORDs so that
// every name handed back to the registry is aligned. The outermost key has no name.
constexpr DWORD kKey = 'K', kValue = 'V', kEnd = 'E';

constexpr std::size_t Padded(std::size_t count) { return (count + 3) & ~std::size_t{3}; }
// How many levels of keys a copy holds, the outermost one included. Writing back holds one open
// key per level, so a tree deeper than that is refused when it is read: a copy that could not be
// put back whole would not guard anything.
constexpr int kMaxDepth = 32;

// Scratch memory from the C runtime, freed when the scope ends.
struct Scratch {
    explicit Scratch(std::size_t bytes) : memory(std::malloc(bytes ? bytes : 1)) {}
    ~Scratch() { std::free(memory); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    void* memory;
};

class RecordReader {
public:
    RecordReader(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
    bool AtEnd() const { return position_ >= size_; }
    DWORD Mark() { return Number(); }
    DWORD Number()
    {
        DWORD value = 0;
        std::memcpy(&value, bytes_ + position_, sizeof(value));
        position_ += sizeof(value);
        return value;
    }
    const unsigned char* Counted(DWORD& count)
    {
        count = Number();
        const unsigned char* start = bytes_ + position_;
        position_ += Padded(count);
        return start;
    }

private:
    const unsigned char* bytes_;
    std::size_t size_;
    std::size_t position_ = 0;
};

}  // namespace

RegistrySnapshot::~RegistrySnapshot() { Clear(); }

void RegistrySnapshot::Clear()
{
    std::free(bytes_);
    bytes_ = nullptr;
    size_ = capacity_ = 0;
}

bool RegistrySnapshot::Append(const void* bytes, std::size_t count)
{
    if (size_ + count > capacity_) {
        std::size_t capacity = capacity_ ? capacity_ : 256;
        while (capacity < size_ + count) capacity *= 2;
        auto* grown = static_cast<unsigned char*>(std::realloc(bytes_, capacity));
        if (!grown) return false;
        bytes_ = grown;
        capacity_ = capacity;
    }
    std::memcpy(bytes_ + size_, bytes, count);
    size_ += count;
    return true;
}

bool RegistrySnapshot::AppendCounted(const void* bytes, DWORD count)
{
    const DWORD zero = 0;
    return Append(&count, sizeof(count)) && Append(bytes, count) && Append(&zero, Padded(count) - count);
}

HRESULT RegistrySnapshot::Read(HKEY root, const wchar_t* path)
{
    Clear();
    UniqueHkey key;
    const LSTATUS status = RegOpenKeyExW(root, path, 0, KEY_READ, key.Put());
    if (status == ERROR_FILE_NOT_FOUND) return S_FALSE;
    if (status != ERROR_SUCCESS) return FromStatus(status);
    const wchar_t noName[] = L"";
    HRESULT hr = AppendMark(kKey) && AppendCounted(noName, sizeof(noName)) ? ReadKey(key.Get(), 1) : E_OUTOFMEMORY;
    if (FAILED(hr)) Clear();
    return hr;
}

HRESULT RegistrySnapshot::ReadKey(HKEY key, int depth)
{
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestValueName = 0, largestValue = 0;
    if (HRESULT hr = FromStatus(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr,
                                                 &values, &longestValueName, &largestValue, nullptr, nullptr));
        FAILED(hr))
        return hr;
    if (HRESULT hr = ReadValues(key, values, longestValueName, largestValue); FAILED(hr)) return hr;
    if (subkeys > 0 && depth == kMaxDepth) return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    if (HRESULT hr = ReadSubkeys(key, subkeys, longestSubkey, depth + 1); FAILED(hr)) return hr;
    return AppendMark(kEnd) ? S_OK : E_OUTOFMEMORY;
}

HRESULT RegistrySnapshot::ReadValues(HKEY key, DWORD count, DWORD longestName, DWORD largestData)
{
    Scratch name((longestName + 1) * sizeof(wchar_t)), data(largestData);
    if (!name.memory || !data.memory) return E_OUTOFMEMORY;
    for (DWORD i = 0; i < count; ++i) {
        DWORD nameLength = longestName + 1, size = largestData, type = 0;
        if (HRESULT hr = FromStatus(RegEnumValueW(key, i, static_cast<wchar_t*>(name.memory), &nameLength, nullptr,
                                                  &type, static_cast<BYTE*>(data.memory), &size));
            FAILED(hr))
            return hr;
        const DWORD nameBytes = (nameLength + 1) * sizeof(wchar_t);  // with the NUL
        if (!AppendMark(kValue) || !AppendCounted(name.memory, nameBytes) || !Append(&type, sizeof(type)) ||
            !AppendCounted(data.memory, size))
            return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT RegistrySnapshot::ReadSubkeys(HKEY key, DWORD count, DWORD longestName, int depth)
{
    Scratch name((longestName + 1) * sizeof(wchar_t));
    if (!name.memory) return E_OUTOFMEMORY;
    auto* text = static_cast<wchar_t*>(name.memory);
    for (DWORD i = 0; i < count; ++i) {
        DWORD nameLength = longestName + 1;
        if (HRESULT hr = FromStatus(RegEnumKeyExW(key, i, text, &nameLength, nullptr, nullptr, nullptr, nullptr));
            FAILED(hr))
            return hr;
        UniqueHkey subkey;
        if (HRESULT hr = FromStatus(RegOpenKeyExW(key, text, 0, KEY_READ, subkey.Put())); FAILED(hr)) return hr;
        if (!AppendMark(kKey) || !AppendCounted(text, (nameLength + 1) * sizeof(wchar_t))) return E_OUTOFMEMORY;
        if (HRESULT hr = ReadKey(subkey.Get(), depth); FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT RegistrySnapshot::WriteBack(HKEY root, const wchar_t* path) const
{
    const LSTATUS deleted = RegDeleteTreeW(root, path);
    HRESULT result = deleted == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(deleted);
    auto note = [&result](HRESULT hr) {
        if (SUCCEEDED(result)) result = hr;
    };
    // Keys open from the outermost to the current one; null where a key could not be created,
    // so that what lies below it is skipped.
    UniqueHkey open[kMaxDepth];
    int depth = 0;
    for (RecordReader record(bytes_, size_); !record.AtEnd();) {
        const DWORD mark = record.Mark();
        DWORD count = 0;
        if (mark == kKey) {
            auto* name = reinterpret_cast<const wchar_t*>(record.Counted(count));
            if (depth == kMaxDepth) {
                note(E_UNEXPECTED);
                break;
            }
            HKEY parent = depth ? open[depth - 1].Get() : root;
            HKEY* created = open[depth++].Put();
            if (parent) note(FromStatus(RegCreateKeyExW(parent, depth > 1 ? name : path, 0, nullptr,
                                                        REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, created,
                                                        nullptr)));
        } else if (mark == kValue) {
            auto* name = reinterpret_cast<const wchar_t*>(record.Counted(count));
            const DWORD type = record.Number();
            const unsigned char* data = record.Counted(count);
            if (depth && open[depth - 1].Get())
                note(FromStatus(RegSetValueExW(open[depth - 1].Get(), name, 0, type, data, count)));
        } else if (depth) {
            open[--depth].Reset();
        }
    }
    return result;
}

bool RegistrySnapshot::SameAs(const RegistrySnapshot& other) const
{
    return size_ == other.size_ && (size_ == 0 || std::memcmp(bytes_, other.bytes_, size_) == 0);
}

}  // namespace quillpost
