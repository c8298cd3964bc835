// The Windows sockets library, loaded at run time by name. Each function is looked up the first time
// it is called and then called directly; a call before the library is loaded raises
// EIdWS2StubError "Error on call Winsock2 library function <name>" with code 10093.
#pragma once

#include <winsock2.h>

#include <string>

namespace timesync {

// Loads the library (once); a failed load raises EIdWS2StubError "Error on loading Winsock2
// library (<name>)" with the system's code. True when this call loaded it.
bool LoadWinsock();
bool WinsockLoaded();
// Frees the library and forgets every function looked up in it.
void FreeWinsock();
// The file name loaded, "WS2_32.DLL"; tests point it elsewhere to see a failed load.
std::string& WinsockLibraryName();

namespace ws2 {
int Startup(WORD version, WSADATA* data);
int Cleanup();
int CloseSocket(SOCKET s);
hostent* GetHostByName(const char* name);
int GetHostName(char* name, int len);
u_short HToNs(u_short v);
u_short NToHs(u_short v);
int RecvFrom(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromLen);
int Select(int n, fd_set* readFds, fd_set* writeFds, fd_set* exceptFds, timeval* timeout);
int SendTo(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int toLen);
int SetSockOpt(SOCKET s, int level, int option, const char* value, int len);
SOCKET Socket(int af, int type, int protocol);
int Shutdown(SOCKET s, int how);
int GetLastError();
}  // namespace ws2

}  // namespace timesync
