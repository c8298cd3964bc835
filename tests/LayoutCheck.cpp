#include "tests/LayoutCheck.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <wx/renderer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/arrstr.h>

#include "app/CaptionPanel.h"

namespace gui_test {

namespace {

// Room a control keeps beside its text: a button's frame, a radio button's indicator, the inset of
// a group box's caption.
struct TTextPlace {
    bool HasText = false;
    wxString Text;
    int Room = 0;        // width the control needs besides the text
    int RoomAbove = 0;   // height likewise
    wxRect TextRect;     // where the text is drawn, in the parent's terms
};

TTextPlace PlaceOf(wxWindow* w) {
    TTextPlace p;
    auto* c = dynamic_cast<wxControl*>(w);
    if (!c || !(dynamic_cast<wxStaticText*>(w) || dynamic_cast<wxButton*>(w) || dynamic_cast<wxRadioButton*>(w) ||
                dynamic_cast<wxCheckBox*>(w) || dynamic_cast<wxStaticBox*>(w)))
        return p;
    p.Text = c->GetLabelText();
    if (p.Text.empty()) return p;
    p.HasText = true;
    // Line by line: Windows measures a text with line breaks as one line.
    wxSize text;
    for (const wxString& line : wxSplit(p.Text, '\n', '\0')) {
        const wxSize one = w->GetTextExtent(line.empty() ? wxString(" ") : line);
        text.x = std::max(text.x, one.x);
        text.y += one.y;
    }
    const wxRect r = w->GetRect();
    if (dynamic_cast<wxStaticBox*>(w)) {
        p.Room = 16;
        p.TextRect = wxRect(r.x + 8, r.y, text.x, text.y);
    } else if (dynamic_cast<wxButton*>(w)) {
        p.Room = 8;
        p.RoomAbove = 6;
        p.TextRect = wxRect(r.x + (r.width - text.x) / 2, r.y + (r.height - text.y) / 2, text.x, text.y);
    } else if (dynamic_cast<wxRadioButton*>(w) || dynamic_cast<wxCheckBox*>(w)) {
        p.Room = wxRendererNative::Get().GetCheckBoxSize(w).x + 4;
        p.TextRect = wxRect(r.x + p.Room, r.y + (r.height - text.y) / 2, text.x, text.y);
    } else {
        p.TextRect = wxRect(r.x, r.y, text.x, text.y);
    }
    return p;
}

wxString NameOf(wxWindow* w) {
    auto* c = dynamic_cast<wxControl*>(w);
    wxString label = c ? c->GetLabelText() : wxString();
    return label.empty() ? wxString(w->GetClassInfo()->GetClassName()) : "\"" + label + "\"";
}

void Fault(std::vector<std::string>& faults, const wxString& what, int needed, int has) {
    faults.push_back((what + " (" + std::to_string(needed) + " > " + std::to_string(has) + ")").utf8_string());
}

void Check(wxWindow* w, std::vector<std::string>& faults) {
    for (wxWindow* child : w->GetChildren()) {
        if (!child->IsShown() || child->IsTopLevel()) continue;
        const wxSize size = child->GetSize();
        TTextPlace p = PlaceOf(child);
        if (p.HasText) {
            // One text size per window: a text made smaller to fit stands out from its neighbours.
            if (child->GetFont().GetFractionalPointSize() < w->GetFont().GetFractionalPointSize() - 0.01)
                faults.push_back((NameOf(child) + " is drawn smaller than its window's text (" +
                                  std::to_string(child->GetFont().GetFractionalPointSize()) + " < " +
                                  std::to_string(w->GetFont().GetFractionalPointSize()) + " points)")
                                     .utf8_string());
            if (p.TextRect.width + p.Room > size.x)
                Fault(faults, NameOf(child) + " is cut by its own width", p.TextRect.width + p.Room, size.x);
            if (!dynamic_cast<wxStaticBox*>(child) && p.TextRect.height + p.RoomAbove > size.y)
                Fault(faults, NameOf(child) + " is cut by its own height", p.TextRect.height + p.RoomAbove, size.y);
            for (wxWindow* other : w->GetChildren()) {
                // A group box lies below the controls it frames; the others must keep off the text.
                if (other == child || !other->IsShown() || other->IsTopLevel() || dynamic_cast<wxStaticBox*>(other)) continue;
                if (other->GetRect().Intersects(p.TextRect))
                    faults.push_back((NameOf(child) + " is covered by " + NameOf(other)).utf8_string());
            }
        }
        // A drop-down list shows its selected item whole only at the toolkit's own height for it.
        if (auto* choice = dynamic_cast<wxChoice*>(child)) {
            const wxSize best = choice->GetBestSize();
            if (best.y > size.y) Fault(faults, "the list of \"" + choice->GetStringSelection() + "\" is cut by its height", best.y, size.y);
            if (best.x > size.x) Fault(faults, "the list of \"" + choice->GetStringSelection() + "\" is narrower than its items", best.x, size.x);
        }
        // A panel that draws its caption centred in its font (the clocks, the status bar).
        if (auto* panel = dynamic_cast<app::TCaptionPanel*>(child); panel && !panel->Caption().empty()) {
            const wxSize text = panel->GetTextExtent(panel->Caption());
            const wxSize room = panel->GetClientSize();
            if (text.x > room.x) Fault(faults, "\"" + panel->Caption() + "\" is cut at its sides", text.x, room.x);
            if (text.y > room.y) Fault(faults, "\"" + panel->Caption() + "\" is cut at its top and bottom", text.y, room.y);
        }
        if (auto* list = dynamic_cast<wxListCtrl*>(child); list && list->InReportView()) {
            int total = 0;
            for (int i = 0; i < list->GetColumnCount(); ++i) {
                wxListItem column;
                column.SetMask(wxLIST_MASK_TEXT);
                list->GetColumn(i, column);
                total += list->GetColumnWidth(i);
                if (list->GetTextExtent(column.GetText()).x + 12 > list->GetColumnWidth(i))
                    faults.push_back(("column \"" + column.GetText() + "\" is narrower than its title").utf8_string());
            }
            if (total > list->GetClientSize().x)
                faults.push_back(("the columns of " + NameOf(list) + " are wider than its client area (" +
                                  std::to_string(total) + " > " + std::to_string(list->GetClientSize().x) + ")")
                                     .utf8_string());
        }
        Check(child, faults);
    }
}

}  // namespace

std::vector<std::string> LayoutFaults(wxWindow* top) {
    std::vector<std::string> faults;
    Check(top, faults);
    return faults;
}

}  // namespace gui_test
