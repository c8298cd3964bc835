// The serial layer's messages on Windows, where there is no libintl: the "cport" catalogue of the
// user's language is read whole. The language comes from the locale variables when they are set
// (as gettext would take them), else from the user's Windows locale.
#include <windows.h>

#include <cstdlib>

#include "base/Win32Text.h"
#include "serial/CPortTranslate.h"
#include "serial/MoCatalog.h"

namespace serial {

namespace {

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

}  // namespace

void LoadComCatalogue(const std::string& localeDir) {
    std::string lang = UserLanguage();
    if (lang.empty() || !gCatalog.Load(localeDir + "/" + lang + "/LC_MESSAGES/cport.mo")) gCatalog = TMoCatalog();
}

std::string TranslateComText(const std::string& s) { return gCatalog.Translate(s); }

}  // namespace serial
