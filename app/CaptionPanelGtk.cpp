// The caption as the panel's accessible name over ATK (AT-SPI). A quiet panel's accessible holds
// its change notices back for good (frozen notification), so its name is current when a screen
// reader asks but no event is raised on every frame.
#include <gtk/gtk.h>

#include "app/CaptionPanel.h"

namespace app {

void TCaptionPanel::SpeakCaption(bool announce) {
    AtkObject* accessible = gtk_widget_get_accessible(GetHandle());
    if (!accessible) return;
    spoken_ = true;
    announced_ = announce;
    atk_object_set_role(accessible, ATK_ROLE_LABEL);
    if (!announce) g_object_freeze_notify(G_OBJECT(accessible));
    TellCaption();
}

void TCaptionPanel::TellCaption() {
    if (AtkObject* accessible = gtk_widget_get_accessible(GetHandle()))
        atk_object_set_name(accessible, caption_.utf8_str());
}

}  // namespace app
