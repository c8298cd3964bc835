// Keeps a control's text within the width the layout gives it: the layouts are drawn for "MS Sans
// Serif", and the fonts that stand in for it (on Linux, under wine) run wider, so a caption would
// be cut or a label run under the control beside it. The font is made smaller, half a point at a
// time, until the text fits; a text that fits already is left alone.
#pragma once

class wxWindow;

namespace app {

void FitText(wxWindow* control, int width);

}  // namespace app
