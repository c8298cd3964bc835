// The caption as the panel's accessible name over MSAA (UI Automation reads it through its proxy).
// An announcing panel raises a name change with each caption; a quiet one only answers when asked.
#include <wx/access.h>

#include "app/CaptionPanel.h"

namespace app {

namespace {

class TCaptionAccessible final : public wxWindowAccessible {
public:
    explicit TCaptionAccessible(TCaptionPanel* panel) : wxWindowAccessible(panel), panel_(panel) {}

    wxAccStatus GetName(int childId, wxString* name) override {
        if (childId != wxACC_SELF) return wxACC_NOT_IMPLEMENTED;
        *name = panel_->Caption();
        return wxACC_OK;
    }
    wxAccStatus GetRole(int childId, wxAccRole* role) override {
        if (childId != wxACC_SELF) return wxACC_NOT_IMPLEMENTED;
        *role = wxROLE_SYSTEM_STATICTEXT;
        return wxACC_OK;
    }

private:
    TCaptionPanel* panel_;
};

}  // namespace

void TCaptionPanel::SpeakCaption(bool announce) {
    spoken_ = true;
    announced_ = announce;
    SetAccessible(new TCaptionAccessible(this));
}

void TCaptionPanel::TellCaption() {
    if (announced_) wxAccessible::NotifyEvent(wxACC_EVENT_OBJECT_NAMECHANGE, this, wxOBJID_CLIENT, wxACC_SELF);
}

// The window paints into a bitmap of its own (the buffered paint DC): a picture painted into a
// memory bitmap has the window's pixels.
wxImage TCaptionPanel::PaintedImage(const wxString& text) { return Painted(text).ConvertToImage(); }

// Changed digits are refreshed and painted in the next paint.
bool TCaptionPanel::DrawCellsOnScreen(TPictures&, const std::vector<size_t>&) { return false; }

}  // namespace app
