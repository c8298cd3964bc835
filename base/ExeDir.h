#pragma once

#include <string>

namespace base {

// Directory of the running executable, with its trailing separator.
std::string ExecutableDirectory();

}  // namespace base
