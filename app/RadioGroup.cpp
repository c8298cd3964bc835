#include "app/RadioGroup.h"

#include "app/FitText.h"

namespace app {

TRadioGroup::TRadioGroup(wxWindow* parent, const wxString& caption, const std::vector<wxString>& items)
    : wxStaticBox(parent, wxID_ANY, caption) {
    for (size_t i = 0; i < items.size(); ++i)
        buttons_.push_back(new wxRadioButton(parent, wxID_ANY, items[i], wxDefaultPosition, wxDefaultSize,
                                             i == 0 ? wxRB_GROUP : 0));
    // A GTK radio group always has one button on, so "no item" is a hidden last member of the group.
    none_ = new wxRadioButton(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(1, 1),
                              items.empty() ? wxRB_GROUP : 0);
    none_->Hide();
    // Below its items: a Windows box drawn over later siblings leaves them blank until clicked.
    Lower();
}

void TRadioGroup::Arrange(const TLayout& layout, const wxRect& r96) {
    const wxRect r = layout.S(r96);
    SetSize(r);
    WidenToText(this, layout.S(r96.width - 16));
    // Items are spread evenly over the box below its caption, as a one-column radio group lays them
    // out. They are the box's siblings, placed in the parent's terms: a box's own children start at
    // its caption on GTK but at its top edge on Windows, where the first item hid the caption.
    const int top = layout.S(r96.y + 15), height = layout.S(r96.height - 24);
    const int step = buttons_.empty() ? 0 : height / static_cast<int>(buttons_.size());
    for (size_t i = 0; i < buttons_.size(); ++i)
        buttons_[i]->SetSize(layout.S(r96.x + 8), top + static_cast<int>(i) * step, layout.S(r96.width - 16), step);
    none_->Move(r.GetPosition());
}

int TRadioGroup::GetSelection() const {
    for (size_t i = 0; i < buttons_.size(); ++i)
        if (buttons_[i]->GetValue()) return static_cast<int>(i);
    return -1;
}

void TRadioGroup::SetSelection(int index) {
    if (index >= 0 && index < static_cast<int>(buttons_.size())) {
        buttons_[static_cast<size_t>(index)]->SetValue(true);
        return;
    }
    none_->SetValue(true);
}

bool TRadioGroup::HasFocusInside() const {
    wxWindow* f = wxWindow::FindFocus();
    for (wxRadioButton* b : buttons_)
        if (b == f) return true;
    return false;
}

void TRadioGroup::MoveSelection(int step) {
    const int n = static_cast<int>(buttons_.size());
    if (n == 0) return;
    int from = GetSelection();
    if (from < 0) {
        wxWindow* f = wxWindow::FindFocus();
        for (int i = 0; i < n; ++i)
            if (buttons_[static_cast<size_t>(i)] == f) from = i - step;
    }
    int to = ((from + step) % n + n) % n;
    SetSelection(to);
    buttons_[static_cast<size_t>(to)]->SetFocus();
}

void TRadioGroup::SetFocus() {
    int sel = GetSelection();
    if (!buttons_.empty()) buttons_[static_cast<size_t>(sel < 0 ? 0 : sel)]->SetFocus();
}

}  // namespace app
