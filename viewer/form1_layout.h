// The viewer's window and control table, in twips as the layout is drawn. The window core
// creates the viewer from it; the picture area answers clicks on the image areas by it, and
// assistive technology learns of the drawn buttons from it.
#pragma once

#include <windows.h>

#include "forms/form_table.h"

namespace quillpost::form1_layout {

using form::ControlKind;
using form::ControlRow;
using form::kNoTabIndex;
using form::kOnForm;
using form::PixelRect;

inline constexpr form::FormRow kForm1{L"Form1", L"QuillpostViewer", form::FormFrame::Borderless, 8625, 7680};

inline constexpr int kPicRow = 0;

// In the order the window stores them: creation order, which is also the tab order.
// clang-format off
inline constexpr ControlRow kControls[] = {
//   name       kind                      parent   left   top  width height  tab          caption     underlined
    {L"pic",    ControlKind::PictureArea, kOnForm,    0,    0,  8655,  7695, 0,           nullptr,    false},
    {L"main",   ControlKind::WebBrowser,  kPicRow,  120,  480,  8295,  6975, 1,           L"http:///", false},
    {L"Label1", ControlKind::Label,       kPicRow, 1560,  120,  6375,   255, 2,           L"....",    false},
    {L"Image2", ControlKind::ImageArea,   kPicRow, 8040,  120,   135,   255, kNoTabIndex, nullptr,    false},
    {L"Image1", ControlKind::ImageArea,   kPicRow, 8160,  120,   255,   255, kNoTabIndex, nullptr,    false},
};
// clang-format on
static_assert(form::IsCreatable(kControls));

inline constexpr const ControlRow& kPic = kControls[kPicRow];
inline constexpr const ControlRow& kMain = kControls[1];
inline constexpr const ControlRow& kLabel1 = kControls[2];
inline constexpr const ControlRow& kImage2 = kControls[3];  // over the drawn minimize bar
inline constexpr const ControlRow& kImage1 = kControls[4];  // over the drawn close cross

// The skin's glyphs that act on the window, in the order of their image areas.
inline constexpr form::DrawnButton kDrawnButtons[] = {
    {L"Minimize", &kImage2, SC_MINIMIZE},
    {L"Close", &kImage1, SC_CLOSE},
};

}  // namespace quillpost::form1_layout
