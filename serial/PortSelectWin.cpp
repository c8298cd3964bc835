// The system's serial ports on Windows: the registry's device map.
#include <windows.h>

#include "base/Win32Text.h"
#include "serial/PortSelect.h"

namespace serial {

std::vector<std::string> RegistryPortNames() {
    HKEY key;
    LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS) throw EComPort(23, static_cast<int>(rc));
    struct TKeyCloser {
        HKEY k;
        ~TKeyCloser() { RegCloseKey(k); }
    } closer{key};
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[256];
        DWORD nameLen = 256;
        BYTE data[256];
        DWORD dataLen = sizeof data;
        DWORD type = 0;
        rc = RegEnumValueW(key, index, valueName, &nameLen, nullptr, &type, data, &dataLen);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) throw EComPort(23, static_cast<int>(rc));
        size_t chars = dataLen / sizeof(wchar_t);
        const auto* text = reinterpret_cast<const wchar_t*>(data);
        while (chars > 0 && text[chars - 1] == L'\0') --chars;
        names.push_back(base::WideToUtf8(text, chars));
    }
    return names;
}

TPortLister SystemPortLister() { return RegistryPortNames; }

}  // namespace serial
