#pragma once

#include <string>

namespace base {

// Directory of the running executable, with its trailing separator.
std::string ExecutableDirectory();

// The user's own folder for the program's files, with its trailing separator, not made here:
// $XDG_DATA_HOME/tempix (else ~/.local/share/tempix); %LOCALAPPDATA%\Tempix. Run through sudo, the
// folder of the user who ran it. Empty where the user has none.
std::string UserDataDirectory();

}  // namespace base
