// Which adapter a COM port is, on Windows: the Ports class's devices in SetupAPI, each with its
// PortName in its device key, its friendly name, its service (the driver) and, for an FTDI, the
// latency timer its driver keeps in the same key.
#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

#include <string>

#include "base/Win32Text.h"
#include "serial/PortAdapterWin.h"

namespace serial {

namespace {

std::wstring DeviceText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t text[256] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(text),
                                           sizeof text - sizeof(wchar_t), nullptr) ||
        type != REG_SZ)
        return L"";
    return text;
}

}  // namespace

TPortAdapter AdapterOfPort(const std::string& port) {
    TPortAdapter adapter;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return adapter;
    const std::wstring wanted = base::Utf8ToWide(port);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        wchar_t name[64] = {};
        DWORD size = sizeof name - sizeof(wchar_t), type = 0;
        const bool ours = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size) ==
                              ERROR_SUCCESS &&
                          type == REG_SZ && _wcsicmp(name, wanted.c_str()) == 0;
        if (ours) {
            adapter.Family = FamilyOfWindowsService(base::WideToUtf8(DeviceText(set, device, SPDRP_SERVICE)));
            adapter.Name = base::WideToUtf8(DeviceText(set, device, SPDRP_FRIENDLYNAME));
            if (adapter.Name.empty()) adapter.Name = base::WideToUtf8(DeviceText(set, device, SPDRP_DEVICEDESC));
            DWORD latency = 0;
            size = sizeof latency;
            if (adapter.Family == TAdapterFamily::Ftdi &&
                RegQueryValueExW(key, L"LatencyTimer", nullptr, &type, reinterpret_cast<BYTE*>(&latency), &size) ==
                    ERROR_SUCCESS &&
                type == REG_DWORD)
                adapter.LatencyMs = static_cast<int>(latency);
        }
        RegCloseKey(key);
        if (ours) break;
    }
    SetupDiDestroyDeviceInfoList(set);
    return adapter;
}

}  // namespace serial
