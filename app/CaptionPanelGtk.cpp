// The caption as the panel's accessible name over ATK (AT-SPI). A quiet panel's accessible holds
// its change notices back for good (frozen notification), so its name is current when a screen
// reader asks but no event is raised on every frame.
#include <gtk/gtk.h>

#include <wx/graphics.h>  // before dcgraph.h, which asks for the setting this one brings
#include <wx/dcgraph.h>

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

// A picture with the window's own pixels: painted on a surface like the window's (on X11 one the
// display server draws, as it draws the window), then read back. Text painted into a memory bitmap
// differs from the window's by a level here and there at its edges.
wxImage TCaptionPanel::PaintedImage(const wxString& text) {
    const wxSize size = GetClientSize();
    GdkWindow* window = gtk_widget_get_window(GetHandle());
    if (!window) return Painted(text).ConvertToImage();
    const int scale = gdk_window_get_scale_factor(window);  // the surface's pixels per unit
    cairo_surface_t* surface = gdk_window_create_similar_surface(window, CAIRO_CONTENT_COLOR, size.x, size.y);
    cairo_t* cr = cairo_create(surface);
    {
        wxGCDC dc(wxGraphicsRenderer::GetDefaultRenderer()->CreateContextFromNativeContext(cr));
        PaintText(dc, text);
    }
    cairo_destroy(cr);
    const int width = size.x * scale, height = size.y * scale;
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_set_device_scale(copy, scale, scale);
    cr = cairo_create(copy);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(copy);
    wxImage image(width, height, false);
    const unsigned char* row = cairo_image_surface_get_data(copy);
    const int stride = cairo_image_surface_get_stride(copy);
    unsigned char* out = image.GetData();
    for (int y = 0; y < height; ++y, row += stride)
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = reinterpret_cast<const uint32_t*>(row)[x];
            *out++ = static_cast<unsigned char>(pixel >> 16);
            *out++ = static_cast<unsigned char>(pixel >> 8);
            *out++ = static_cast<unsigned char>(pixel);
        }
    cairo_surface_destroy(copy);
    cairo_surface_destroy(surface);
    return image;
}

}  // namespace app
