#include "app/UserLocale.h"

#include <clocale>

#include <wx/translation.h>
#include <wx/uilocale.h>

#include "serial/CPortTranslate.h"

namespace app {

void UseUserLocale(const std::string& localeDir) {
    wxUILocale::UseDefault();  // false under a locale the machine lacks: the texts stay English
    std::setlocale(LC_NUMERIC, "C");
    auto* translations = new wxTranslations;
    wxTranslations::Set(translations);
    translations->AddStdCatalog();
    serial::InitComMessageTranslation(localeDir);
}

}  // namespace app
