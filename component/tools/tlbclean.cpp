// Build step: makes widl's type library say exactly what the IDL says. It runs on the build
// machine (see cmake/HostTool.cmake), so it uses nothing but standard C++.
//
// widl names every unnamed parameter ("a", "b", ...), so the [out, retval] results would
// appear named to a reader, and it stamps "Created by WIDL ... at <date>" into the
// library's custom data, which makes every build differ. This tool rewrites the compiled
// library (MSFT format) in place: retval parameters lose their name and the library's
// custom data is dropped and blanked.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

namespace {

constexpr std::int32_t kMsftMagic = 0x5446534D;
constexpr std::int32_t kHelpDllFlag = 0x100;
constexpr std::int32_t kParamFlagRetval = 0x8;
constexpr std::size_t kHeaderSize = 0x54;
constexpr std::size_t kHeaderCustomDataOffset = 0x40;
constexpr std::size_t kTypeInfoBaseSize = 0x64;
constexpr std::size_t kSegmentCount = 15;
constexpr std::size_t kSegmentTypeInfos = 0;
constexpr std::size_t kSegmentCustomData = 11;
constexpr std::size_t kSegmentCustomDataGuids = 12;
constexpr std::size_t kParamInfoSize = 12;

struct Segment {
    std::int32_t offset;
    std::int32_t length;
};

class Image {
public:
    explicit Image(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}

    bool Has(std::size_t at, std::size_t size) const { return at <= bytes_.size() && size <= bytes_.size() - at; }

    // The library is little-endian whatever machine the build runs on.
    bool Read(std::size_t at, std::int32_t& value) const
    {
        if (!Has(at, 4)) return false;
        value = static_cast<std::int32_t>(Unsigned(at, 4));
        return true;
    }

    bool Read16(std::size_t at, std::int16_t& value) const
    {
        if (!Has(at, 2)) return false;
        value = static_cast<std::int16_t>(Unsigned(at, 2));
        return true;
    }

    void Write(std::size_t at, std::int32_t value)
    {
        const auto bits = static_cast<std::uint32_t>(value);
        for (std::size_t i = 0; i < 4; ++i) bytes_[at + i] = static_cast<unsigned char>(bits >> (8 * i));
    }
    void Blank(const Segment& segment)
    {
        if (segment.offset >= 0 && Has(segment.offset, segment.length))
            std::memset(&bytes_[segment.offset], 0, segment.length);
    }
    const std::vector<unsigned char>& Bytes() const { return bytes_; }

private:
    std::uint32_t Unsigned(std::size_t at, std::size_t size) const
    {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i) value |= std::uint32_t{bytes_[at + i]} << (8 * i);
        return value;
    }

    std::vector<unsigned char> bytes_;
};

// Clears the name of every retval parameter of the functions stored at memoffset.
bool UnnameRetvals(Image& image, std::size_t memoffset, int functionCount)
{
    std::size_t record = memoffset + 4;  // the block starts with its total size
    for (int f = 0; f < functionCount; ++f) {
        std::int32_t info = 0;
        std::int16_t argCount = 0;
        if (!image.Read(record, info) || !image.Read16(record + 0x14, argCount)) return false;
        const std::size_t recordSize = info & 0xFFFF;
        if (recordSize < argCount * kParamInfoSize || !image.Has(record, recordSize)) return false;
        const std::size_t params = record + recordSize - argCount * kParamInfoSize;
        for (int p = 0; p < argCount; ++p) {
            const std::size_t param = params + p * kParamInfoSize;
            std::int32_t flags = 0;
            image.Read(param + 8, flags);
            if (flags & kParamFlagRetval) image.Write(param + 4, -1);
        }
        record += recordSize;
    }
    return true;
}

bool Clean(Image& image)
{
    std::int32_t magic = 0, varflags = 0, typeInfoCount = 0;
    if (!image.Read(0, magic) || magic != kMsftMagic) return false;
    image.Read(0x14, varflags);
    image.Read(0x20, typeInfoCount);

    std::size_t at = kHeaderSize + ((varflags & kHelpDllFlag) ? 4 : 0) + typeInfoCount * 4;
    Segment segments[kSegmentCount];
    for (auto& segment : segments) {
        if (!image.Read(at, segment.offset) || !image.Read(at + 4, segment.length)) return false;
        at += 16;
    }

    image.Write(kHeaderCustomDataOffset, -1);
    image.Blank(segments[kSegmentCustomData]);
    image.Blank(segments[kSegmentCustomDataGuids]);

    for (std::int32_t i = 0; i < typeInfoCount; ++i) {
        const std::size_t base = segments[kSegmentTypeInfos].offset + i * kTypeInfoBaseSize;
        std::int32_t memoffset = 0, elements = 0;
        if (!image.Read(base + 4, memoffset) || !image.Read(base + 0x18, elements)) return false;
        const int functionCount = elements & 0xFFFF;
        if (functionCount > 0 && !UnnameRetvals(image, memoffset, functionCount)) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tlbclean <in.tlb> <out.tlb>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    Image image(std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {}));
    if (!in.good() && !in.eof()) return 1;
    if (!Clean(image)) {
        std::fprintf(stderr, "tlbclean: %s is not a type library this tool understands\n", argv[1]);
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.Bytes().data()), image.Bytes().size());
    return out.good() ? 0 : 1;
}
