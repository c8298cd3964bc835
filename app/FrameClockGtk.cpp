#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <wx/window.h>

#include "app/FrameClock.h"

namespace app {

// A tick callback runs in the frame clock's update phase, before the frame is laid out and painted:
// the text set there is drawn in the same frame.
struct TFrameClock::TImpl {
    explicit TImpl(wxEvtHandler* owner) : owner(owner), events(owner) {}

    static gboolean OnFrame(GtkWidget*, GdkFrameClock*, gpointer data) {
        auto* self = static_cast<TImpl*>(data);
        if (!self->alone) DrawAlone(self->paced);
        self->alone = true;
        wxTimerEvent event(self->events);
        self->owner->SafelyProcessEvent(event);
        return G_SOURCE_CONTINUE;
    }

    // On X11 the paced window is made a native window: a frame then repaints it alone. As one of
    // GTK's client-side windows, every repaint went through the whole window around it (the group
    // box, the siblings), which cost the frames twice the processor time.
    static void DrawAlone(wxWindow* paced) {
        GdkWindow* window = paced->GTKGetDrawingWindow();
        if (window && GDK_IS_X11_DISPLAY(gdk_window_get_display(window))) gdk_window_ensure_native(window);
    }

    wxEvtHandler* owner;
    wxTimer events;  // the source named in the events; never started itself
    wxWindow* paced = nullptr;
    bool alone = false;
    GtkWidget* widget = nullptr;  // held while the callback is on it
    guint callback = 0;
};

TFrameClock::TFrameClock(wxEvtHandler* owner) : impl_(std::make_unique<TImpl>(owner)) {}

TFrameClock::~TFrameClock() { Stop(); }

void TFrameClock::Start(wxWindow* paced) {
    Stop();
    impl_->paced = paced;
    impl_->widget = GTK_WIDGET(g_object_ref(paced->GetHandle()));
    impl_->callback = gtk_widget_add_tick_callback(impl_->widget, &TImpl::OnFrame, impl_.get(), nullptr);
}

void TFrameClock::Stop() {
    if (!impl_->widget) return;
    // A widget being destroyed has dropped its callbacks already; removing one it no longer has is harmless.
    gtk_widget_remove_tick_callback(impl_->widget, impl_->callback);
    g_object_unref(impl_->widget);
    impl_->widget = nullptr;
    impl_->callback = 0;
}

bool TFrameClock::IsRunning() const { return impl_->widget != nullptr; }

}  // namespace app
