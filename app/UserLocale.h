#pragma once
// The user's locale, taken once at start before any window exists.
#include <string>

namespace app {

// The toolkit takes the user's locale (its own texts, GTK's stock dialogs, the serial layer's
// catalogue from localeDir), while the C library keeps "C" numbers: no byte of a file the program
// reads or writes moves with the locale. The regional separators are read from the locale by name
// where the program shows them, whatever the process's own locale is.
void UseUserLocale(const std::string& localeDir);

}  // namespace app
