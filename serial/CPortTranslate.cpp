#include "serial/CPortTranslate.h"

#include "serial/CPortTypes.h"

namespace serial {

void InitComMessageTranslation(const std::string& localeDir) {
    LoadComCatalogue(localeDir);
    TranslateComErrorTexts(&TranslateComText);
    SetComErrorSuffixTranslator(&TranslateComText);
}

}  // namespace serial
