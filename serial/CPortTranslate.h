#pragma once

#include <string>

namespace serial {

// Translates the port layer's messages through the "cport" catalogues under `localeDir`
// (<lang>/LC_MESSAGES/cport.mo); with no catalogue for the user's language the English stands.
// The table once, now; the " (win error code: %d)" suffix each time a message is built.
void InitComMessageTranslation(const std::string& localeDir);

// Each system's own: the catalogue of the user's language made ready, and one text through it.
void LoadComCatalogue(const std::string& localeDir);
std::string TranslateComText(const std::string& s);

}  // namespace serial
