// Keeps a control's text whole in the width the layout gives it, in the window's own font: the
// layouts are drawn for "MS Sans Serif", and a face that stands in for it may run wider. Where the
// text does not fit, the control is widened to it; the text is never made smaller, so that every
// text of a window keeps one size.
#pragma once

class wxWindow;

namespace app {

// `width` is what the layout leaves for the text itself; returns the pixels the control was widened by.
int WidenToText(wxWindow* control, int width);

}  // namespace app
