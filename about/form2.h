// The About window: credits, a note, "Ok" and two link labels that open the system browser.
// The window core does the rest; the About window adds its table and its clicks.
#pragma once

#include <windows.h>

#include "forms/form_window.h"

namespace quillpost {

class Form2 final : public FormWindow {
public:
    Form2();

protected:
    void OnClick(const form::ControlRow& row) override;
    bool IsLink(const form::ControlRow& row) const override;
};

}  // namespace quillpost
