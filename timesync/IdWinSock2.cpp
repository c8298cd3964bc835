#include "timesync/IdWinSock2.h"

#include <windows.h>

#include <mutex>

#include "base/Win32Text.h"
#include "timesync/IdException.h"

namespace timesync {

namespace {

std::mutex gLock;
HMODULE gLibrary = nullptr;

// One slot per function: its name and the entry found in the loaded library.
struct TEntry {
    const char* Name;
    FARPROC Proc = nullptr;
};

TEntry gStartup{"WSAStartup"}, gCleanup{"WSACleanup"}, gCloseSocket{"closesocket"},
    gGetHostByName{"gethostbyname"}, gGetHostName{"gethostname"}, gHToNs{"htons"}, gNToHs{"ntohs"},
    gRecvFrom{"recvfrom"}, gSelect{"select"}, gSendTo{"sendto"}, gSetSockOpt{"setsockopt"}, gSocket{"socket"},
    gShutdown{"shutdown"}, gGetLastError{"WSAGetLastError"};

TEntry* const gAll[] = {&gStartup, &gCleanup,  &gCloseSocket, &gGetHostByName, &gGetHostName,
                        &gHToNs,   &gNToHs,    &gRecvFrom,    &gSelect,        &gSendTo,
                        &gSetSockOpt, &gSocket, &gShutdown,   &gGetLastError};

[[noreturn]] void RaiseStub(const std::string& title, DWORD code) {
    throw EIdWS2StubError(title, static_cast<int>(code), base::SysErrorMessage(code));
}

template <class F>
F Resolve(TEntry& e) {
    std::lock_guard<std::mutex> lock(gLock);
    if (!e.Proc) {
        if (!gLibrary) RaiseStub(std::string("Error on call Winsock2 library function ") + e.Name, WSANOTINITIALISED);
        e.Proc = GetProcAddress(gLibrary, e.Name);
        if (!e.Proc) RaiseStub(std::string("Error on call Winsock2 library function ") + e.Name, ::GetLastError());
    }
    return reinterpret_cast<F>(reinterpret_cast<void*>(e.Proc));
}

}  // namespace

std::string& WinsockLibraryName() {
    static std::string name = "WS2_32.DLL";
    return name;
}

bool LoadWinsock() {
    std::lock_guard<std::mutex> lock(gLock);
    if (gLibrary) return false;
    gLibrary = LoadLibraryA(WinsockLibraryName().c_str());
    if (!gLibrary) RaiseStub("Error on loading Winsock2 library (" + WinsockLibraryName() + ")", ::GetLastError());
    return true;
}

bool WinsockLoaded() {
    std::lock_guard<std::mutex> lock(gLock);
    return gLibrary != nullptr;
}

void FreeWinsock() {
    std::lock_guard<std::mutex> lock(gLock);
    if (gLibrary) FreeLibrary(gLibrary);
    gLibrary = nullptr;
    for (TEntry* e : gAll) e->Proc = nullptr;
}

namespace ws2 {
int Startup(WORD v, WSADATA* d) { return Resolve<decltype(&::WSAStartup)>(gStartup)(v, d); }
int Cleanup() { return Resolve<decltype(&::WSACleanup)>(gCleanup)(); }
int CloseSocket(SOCKET s) { return Resolve<decltype(&::closesocket)>(gCloseSocket)(s); }
hostent* GetHostByName(const char* name) { return Resolve<decltype(&::gethostbyname)>(gGetHostByName)(name); }
int GetHostName(char* name, int len) { return Resolve<decltype(&::gethostname)>(gGetHostName)(name, len); }
u_short HToNs(u_short v) { return Resolve<decltype(&::htons)>(gHToNs)(v); }
u_short NToHs(u_short v) { return Resolve<decltype(&::ntohs)>(gNToHs)(v); }
int RecvFrom(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromLen) {
    return Resolve<decltype(&::recvfrom)>(gRecvFrom)(s, buf, len, flags, from, fromLen);
}
int Select(int n, fd_set* r, fd_set* w, fd_set* x, timeval* t) {
    return Resolve<decltype(&::select)>(gSelect)(n, r, w, x, t);
}
int SendTo(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int toLen) {
    return Resolve<decltype(&::sendto)>(gSendTo)(s, buf, len, flags, to, toLen);
}
int SetSockOpt(SOCKET s, int level, int option, const char* value, int len) {
    return Resolve<decltype(&::setsockopt)>(gSetSockOpt)(s, level, option, value, len);
}
SOCKET Socket(int af, int type, int protocol) { return Resolve<decltype(&::socket)>(gSocket)(af, type, protocol); }
int Shutdown(SOCKET s, int how) { return Resolve<decltype(&::shutdown)>(gShutdown)(s, how); }
int GetLastError() { return Resolve<decltype(&::WSAGetLastError)>(gGetLastError)(); }
}  // namespace ws2

}  // namespace timesync
