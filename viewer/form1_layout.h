// The viewer's window and control table, in twips as the layout is drawn.
// Pixels come only from component/twips.h, so that the skin and the controls line up.
#pragma once

#include <windows.h>

#include "base/twips.h"

namespace quillpost::form1_layout {

enum class Kind { PictureArea, WebBrowser, Label, ImageArea };
enum class Parent { Form1, Pic };

inline constexpr int kNoTabIndex = -1;

struct Control {
    const wchar_t* name;
    Kind kind;
    Parent parent;
    int left, top, width, height;  // twips, from the parent's client origin
    int tabIndex;
    const wchar_t* content;  // caption, or the browser's stored location
};

inline constexpr wchar_t kCaption[] = L"Form1";
inline constexpr int kClientWidth = 8625;
inline constexpr int kClientHeight = 7680;

// In the order the window stores them; creation follows it, so it is also the tab order.
// clang-format off
inline constexpr Control kControls[] = {
//   name       kind               parent          left   top  width height  tab          content
    {L"pic",    Kind::PictureArea, Parent::Form1,     0,    0,  8655,  7695, 0,           nullptr},
    {L"main",   Kind::WebBrowser,  Parent::Pic,     120,  480,  8295,  6975, 1,           L"http:///"},
    {L"Label1", Kind::Label,       Parent::Pic,    1560,  120,  6375,   255, 2,           L"...."},
    {L"Image2", Kind::ImageArea,   Parent::Pic,    8040,  120,   135,   255, kNoTabIndex, nullptr},
    {L"Image1", Kind::ImageArea,   Parent::Pic,    8160,  120,   255,   255, kNoTabIndex, nullptr},
};
// clang-format on

inline constexpr const Control& kPic = kControls[0];
inline constexpr const Control& kMain = kControls[1];
inline constexpr const Control& kLabel1 = kControls[2];
inline constexpr const Control& kImage2 = kControls[3];  // over the drawn minimize bar
inline constexpr const Control& kImage1 = kControls[4];  // over the drawn close cross

// "MS Sans Serif" 8.25 pt, regular, character set 0: Label1 has no font of its own.
inline constexpr wchar_t kDefaultFontFace[] = L"MS Sans Serif";
inline constexpr int kDefaultFontHeight = 165;  // twips: 8.25 points of 20 twips

constexpr RECT PixelRect(const Control& control)
{
    const int left = TwipsToPixels(control.left);
    const int top = TwipsToPixels(control.top);
    return {left, top, left + TwipsToPixels(control.width), top + TwipsToPixels(control.height)};
}

constexpr SIZE ClientPixels() { return {TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight)}; }

}  // namespace quillpost::form1_layout
