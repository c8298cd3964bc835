// A titled group of radio buttons with one selected index, as a single control. Arrow keys move
// the selection (the native radio buttons do that themselves), and focusing the group focuses the
// selected button.
#pragma once

#include <vector>

#include <wx/radiobut.h>
#include <wx/statbox.h>

#include "app/Layout.h"

namespace app {

class TRadioGroup : public wxStaticBox {
public:
    TRadioGroup(wxWindow* parent, const wxString& caption, const std::vector<wxString>& items);

    // The box at `r96` (at 96 DPI) and its items spread over it, at the layout's scale, its
    // caption kept within it.
    void Arrange(const TLayout& layout, const wxRect& r96);

    int GetSelection() const;  // -1: none
    void SetSelection(int index);
    unsigned GetCount() const { return static_cast<unsigned>(buttons_.size()); }
    wxString GetString(unsigned i) const { return buttons_[i]->GetLabel(); }
    bool HasFocusInside() const;
    // Moves the selection (and the focus) one item on, or back, round the group, as the arrow keys
    // of a radio group do; from no selection it starts at the focused item.
    void MoveSelection(int step);
    void SetFocus() override;

private:
    std::vector<wxRadioButton*> buttons_;
    wxRadioButton* none_ = nullptr;
};

}  // namespace app
