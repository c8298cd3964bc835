// The caption as the panel's accessible name over ATK (AT-SPI). A quiet panel's accessible holds
// its change notices back for good (frozen notification), so its name is current when a screen
// reader asks but no event is raised on every frame.
#include <gtk/gtk.h>

#include <wx/graphics.h>  // before dcgraph.h, which asks for the setting this one brings
#include <wx/dcgraph.h>

#include <functional>

#include <gdk/gdkx.h>

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

namespace {

// The panel painted with `text` on a surface like its window's: on X11 a pixmap the display server
// draws, as it draws the window. The surface counts the window's scale in pixels per unit.
cairo_surface_t* PaintedSurface(GdkWindow* window, wxSize size, const std::function<void(wxDC&)>& paint) {
    cairo_surface_t* surface = gdk_window_create_similar_surface(window, CAIRO_CONTENT_COLOR, size.x, size.y);
    cairo_t* cr = cairo_create(surface);
    {
        wxGCDC dc(wxGraphicsRenderer::GetDefaultRenderer()->CreateContextFromNativeContext(cr));
        paint(dc);
    }
    cairo_destroy(cr);
    return surface;
}

// The ten digit pictures kept by the display server, for the native X11 window they were made for.
struct TServerPictures {
    GdkWindow* Window = nullptr;
    cairo_surface_t* Digits[10] = {};
    ~TServerPictures() {
        for (cairo_surface_t* s : Digits)
            if (s) cairo_surface_destroy(s);
    }
};

// Where the panel's window is an X11 window of its own: its contents are then copied within the
// display server, and nothing else shares the window.
GdkWindow* OwnX11Window(GtkWidget* widget) {
    GdkWindow* window = gtk_widget_get_window(widget);
    return window && GDK_IS_X11_WINDOW(window) && gdk_window_has_native(window) ? window : nullptr;
}

}  // namespace

// A picture with the window's own pixels: painted on a surface like the window's, then read back.
// Text painted into a memory bitmap differs from the window's by a level here and there at its edges.
wxImage TCaptionPanel::PaintedImage(const wxString& text) {
    const wxSize size = GetClientSize();
    GdkWindow* window = gtk_widget_get_window(GetHandle());
    if (!window) return Painted(text).ConvertToImage();
    const int scale = gdk_window_get_scale_factor(window);  // the surface's pixels per unit
    cairo_surface_t* surface = PaintedSurface(window, size, [&](wxDC& dc) { PaintText(dc, text); });
    const int width = size.x * scale, height = size.y * scale;
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_set_device_scale(copy, scale, scale);
    cairo_t* cr = cairo_create(copy);
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

// A frame's changed digits go straight to the window: each cell copied from its digit's picture
// inside the display server, without a paint cycle (no buffer, no background, no paint event). An
// expose still repaints through the paint handler, from the same pictures.
bool TCaptionPanel::DrawCellsOnScreen(TPictures& p, const std::vector<size_t>& cells) {
    GdkWindow* window = OwnX11Window(GetHandle());
    if (!window) return false;
    auto* server = static_cast<TServerPictures*>(p.Screen.get());
    if (!server || server->Window != window) {
        auto made = std::make_shared<TServerPictures>();
        made->Window = window;
        for (int d = 0; d < 10; ++d)
            made->Digits[d] = PaintedSurface(window, p.Size, [&](wxDC& dc) { PaintText(dc, p.Showing(d)); });
        p.Screen = made;
        server = made.get();
    }
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS  // the window's own surface, outside a paint: what this is for
    cairo_t* cr = gdk_cairo_create(window);
    G_GNUC_END_IGNORE_DEPRECATIONS
    for (size_t i : cells) {
        const wxRect& cell = p.Cells[i];
        cairo_set_source_surface(cr, server->Digits[caption_[i].GetValue() - '0'], 0, 0);
        cairo_rectangle(cr, cell.x, cell.y, cell.width, cell.height);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    return true;
}

}  // namespace app
