// What a window draws wrongly, found from its controls: a caption or label wider than its own
// control or smaller than its window's text, a list whose column titles do not fit, or text covered
// by a sibling control.
#pragma once

#include <string>
#include <vector>

class wxWindow;

namespace gui_test {

// One line per fault, naming the control by its text; empty when every text is drawn whole.
std::vector<std::string> LayoutFaults(wxWindow* top);

}  // namespace gui_test
