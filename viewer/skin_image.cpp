// The skin as a DIB image, copied out of the section that holds it: for anyone who needs the
// picture as bytes. The viewer itself only ever draws the section.
#include <cstring>

#include "viewer/skin.h"

namespace quillpost::skin {

std::vector<BYTE> DibImage(HBITMAP section)
{
    DIBSECTION held{};
    if (GetObjectW(section, sizeof(held), &held) != sizeof(held) || !held.dsBm.bmBits) return {};
    const BITMAPINFOHEADER& info = held.dsBmih;
    if (info.biWidth != kWidth || info.biHeight != kHeight || info.biBitCount != 24) return {};
    GdiFlush();  // drawing queued on the section reaches its bits first
    std::vector<BYTE> image(kDibBytes);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfSize = static_cast<DWORD>(kDibBytes);
    file.bfOffBits = static_cast<DWORD>(kHeaderBytes);
    BITMAPINFOHEADER header = info;
    header.biSizeImage = static_cast<DWORD>(kDibBytes - kHeaderBytes);
    std::memcpy(image.data(), &file, sizeof(file));
    std::memcpy(image.data() + sizeof(file), &header, sizeof(header));
    std::memcpy(image.data() + kHeaderBytes, held.dsBm.bmBits, kDibBytes - kHeaderBytes);
    return image;
}

}  // namespace quillpost::skin
