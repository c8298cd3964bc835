#include "timesync/IdStack.h"

#include <mutex>

#include "timesync/IdException.h"

namespace timesync {

namespace {

std::mutex gLock;
int gComponents = 0;
TIdStack* gStack = nullptr;
TIdStackCounters gCounters;
std::function<TIdStack*()> gFactory;

// A decimal part: digits only, no sign, within `max`.
bool ReadPart(const std::string& s, uint64_t max, uint64_t& v) {
    if (s.empty() || s.size() > 10) return false;
    v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    return v <= max;
}

const char* TableText(int code) {
    switch (code) {
    case 10004: return "Interrupted system call.";
    case 10009: return "Bad file number.";
    case 10013: return "Access denied.";
    case 10014: return "Bad address.";
    case 10022: return "Invalid argument.";
    case 10024: return "Too many open files.";
    case 10035: return "Operation would block. ";
    case 10036: return "Operation now in progress.";
    case 10037: return "Operation already in progress.";
    case 10038: return "Socket operation on non-socket.";
    case 10039: return "Destination address required.";
    case 10040: return "Message too long.";
    case 10041: return "Protocol wrong type for socket.";
    case 10042: return "Bad protocol option.";
    case 10043: return "Protocol not supported.";
    case 10044: return "Socket type not supported.";
    case 10045: return "Operation not supported on socket.";
    case 10046: return "Protocol family not supported.";
    case 10047: return "Address family not supported by protocol family.";
    case 10048: return "Address already in use.";
    case 10049: return "Cannot assign requested address.";
    case 10050: return "Network is down.";
    case 10051: return "Network is unreachable.";
    case 10052: return "Net dropped connection or reset.";
    case 10053: return "Software caused connection abort.";
    case 10054: return "Connection reset by peer.";
    case 10055: return "No buffer space available.";
    case 10056: return "Socket is already connected.";
    case 10057: return "Socket is not connected.";
    case 10058: return "Cannot send or receive after socket is closed.";
    case 10059: return "Too many references, cannot splice.";
    case 10060: return "Connection timed out.";
    case 10061: return "Connection refused.";
    case 10062: return "Too many levels of symbolic links.";
    case 10063: return "File name too long.";
    case 10064: return "Host is down.";
    case 10065: return "No route to host.";
    case 10066: return "Directory not empty";
    case 11001: return "Host not found.";
    default: return "";
    }
}

}  // namespace

std::string TIdStack::ResolveAddress(const std::string& host) {
    std::string upper = host;
    for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    if (upper == "LOCALHOST") return "127.0.0.1";
    if (IsAddressLiteral(host)) return host;
    std::string address = WSGetHostByName(host);
    if (address.empty()) CheckResult(Id_SOCKET_ERROR);
    return address;
}

bool TIdStack::ParseAddressLiteral(const std::string& text, TIdInAddr& b) {
    // Split from the left at the first three dots; the fourth part keeps any further dots.
    std::string parts[4];
    size_t pos = 0;
    int n = 0;
    for (; n < 3; ++n) {
        size_t dot = text.find('.', pos);
        if (dot == std::string::npos) break;
        parts[n] = text.substr(pos, dot - pos);
        pos = dot + 1;
    }
    parts[n] = text.substr(pos);
    uint64_t a = 0, v1 = 0, v2 = 0, v3 = 0;
    // The first empty part among the second, third and fourth decides the form.
    if (n == 0 || parts[1].empty()) {
        if (!ReadPart(parts[0], 0xFFFFFFFFu, a)) return false;
        b = {uint8_t(a >> 24), uint8_t(a >> 16), uint8_t(a >> 8), uint8_t(a)};
        return true;
    }
    if (n == 1 || parts[2].empty()) {
        if (!ReadPart(parts[0], 255, a) || !ReadPart(parts[1], 0xFFFFFF, v1)) return false;
        b = {uint8_t(a), uint8_t(v1 >> 16), uint8_t(v1 >> 8), uint8_t(v1)};
        return true;
    }
    if (n == 2 || parts[3].empty()) {
        if (!ReadPart(parts[0], 255, a) || !ReadPart(parts[1], 255, v1) || !ReadPart(parts[2], 0xFFFF, v2))
            return false;
        b = {uint8_t(a), uint8_t(v1), uint8_t(v2 >> 8), uint8_t(v2)};
        return true;
    }
    if (!ReadPart(parts[0], 255, a) || !ReadPart(parts[1], 255, v1) || !ReadPart(parts[2], 255, v2) ||
        !ReadPart(parts[3], 255, v3))
        return false;
    b = {uint8_t(a), uint8_t(v1), uint8_t(v2), uint8_t(v3)};
    return true;
}

bool TIdStack::IsAddressLiteral(const std::string& text) {
    TIdInAddr b;
    return ParseAddressLiteral(text, b);
}

void TIdStack::CheckResult(int result) {
    if (result != Id_SOCKET_ERROR) return;
    LastErrorCode = WSGetLastError();
    throw EIdSocketError(LastErrorCode, WSTranslateSocketErrorMsg(LastErrorCode));
}

std::string TIdStack::ErrorText(int code) {
    return "Socket Error # " + std::to_string(code) + "\r\n" + TableText(code);
}

std::string TIdStack::TranslateTInAddrToString(const TIdInAddr& a) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." + std::to_string(a[3]);
}

TIdInAddr TIdStack::TranslateStringToTInAddr(const std::string& text) {
    TIdInAddr b;
    if (!ParseAddressLiteral(text, b)) throw EIdInvalidIPAddress(text);
    return b;
}

TIdStack* GStack() { return gStack; }

TIdStackCounters StackCounters() {
    std::lock_guard<std::mutex> lock(gLock);
    return gCounters;
}

void SetStackFactory(std::function<TIdStack*()> factory) {
    std::lock_guard<std::mutex> lock(gLock);
    gFactory = std::move(factory);
}

void AcquireStack() {
    std::lock_guard<std::mutex> lock(gLock);
    if (gComponents == 0) {
        gStack = gFactory ? gFactory() : CreatePlatformStack();  // an error leaves the count as it was
        ++gCounters.Created;
    }
    ++gComponents;
}

void ReleaseStack() {
    std::lock_guard<std::mutex> lock(gLock);
    if (--gComponents == 0) {
        delete gStack;
        gStack = nullptr;
        ++gCounters.Destroyed;
    }
}

}  // namespace timesync
