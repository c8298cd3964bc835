#include "serial/CPortTranslate.h"

#include <libintl.h>

#include "serial/CPortTypes.h"

namespace serial {

namespace {
std::string Translate(const std::string& s) { return dgettext("cport", s.c_str()); }
}  // namespace

void InitComMessageTranslation(const std::string& localeDir) {
    bindtextdomain("cport", localeDir.c_str());
    bind_textdomain_codeset("cport", "UTF-8");
    TranslateComErrorTexts(&Translate);
    SetComErrorSuffixTranslator(&Translate);
}

}  // namespace serial
