// The serial layer's messages through gettext, from the "cport" catalogue of the user's language.
#include <libintl.h>

#include "serial/CPortTranslate.h"

namespace serial {

void LoadComCatalogue(const std::string& localeDir) {
    bindtextdomain("cport", localeDir.c_str());
    bind_textdomain_codeset("cport", "UTF-8");
}

std::string TranslateComText(const std::string& s) { return dgettext("cport", s.c_str()); }

}  // namespace serial
