#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "base/ExeDir.h"
#include "base/Win32Text.h"

namespace base {

std::string ExecutableDirectory() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return ".\\";
        if (n < buf.size()) {
            std::string path = WideToUtf8(buf.data(), n);
            return path.substr(0, path.find_last_of("\\/") + 1);
        }
        buf.resize(buf.size() * 2);
    }
}

std::string UserDataDirectory() {
    wchar_t path[MAX_PATH];
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return "";
    std::string dir = WideToUtf8(path, wcslen(path));
    if (!dir.empty() && dir.back() != '\\') dir += '\\';
    return dir + "Tempix\\";
}

}  // namespace base
