#include "serial/CPortTranslate.h"

#include "serial/CPortTypes.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>

#include "base/Win32Text.h"
#include "serial/MoCatalog.h"
#else
#include <libintl.h>
#endif

namespace serial {

namespace {

#ifdef _WIN32
// No libintl here: the catalogue of the user's language is read whole. The language comes from
// the locale variables when they are set (as gettext would take them), else from the user's
// Windows locale.
TMoCatalog gCatalog;

std::string UserLanguage() {
    for (const char* var : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) return LanguageOfLocaleName(v);
    }
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) > 0) return LanguageOfLocaleName(base::WideToUtf8(name));
    return "";
}

std::string Translate(const std::string& s) { return gCatalog.Translate(s); }
#else
std::string Translate(const std::string& s) { return dgettext("cport", s.c_str()); }
#endif

}  // namespace

void InitComMessageTranslation(const std::string& localeDir) {
#ifdef _WIN32
    std::string lang = UserLanguage();
    if (lang.empty() || !gCatalog.Load(localeDir + "/" + lang + "/LC_MESSAGES/cport.mo")) gCatalog = TMoCatalog();
#else
    bindtextdomain("cport", localeDir.c_str());
    bind_textdomain_codeset("cport", "UTF-8");
#endif
    TranslateComErrorTexts(&Translate);
    SetComErrorSuffixTranslator(&Translate);
}

}  // namespace serial
