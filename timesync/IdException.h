// The socket layer's error classes and their fixed English texts.
#pragma once

#include <stdexcept>
#include <string>

namespace timesync {

class EIdException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A platform socket call failed: "Socket Error # %d\r\n%s".
class EIdSocketError : public EIdException {
public:
    EIdSocketError(int code, const std::string& message) : EIdException(message), LastError(code) {}
    int LastError;
};

class EIdSocketHandleError : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdPackageSizeTooBig : public EIdSocketHandleError {
public:
    EIdPackageSizeTooBig() : EIdSocketHandleError("Package Size Too Big.") {}
};

class EIdNotAllBytesSent : public EIdSocketHandleError {
public:
    EIdNotAllBytesSent() : EIdSocketHandleError("Not all bytes sent.") {}
};

class EIdInvalidSocket : public EIdException {
public:
    EIdInvalidSocket() : EIdException("Cannot allocate socket.") {}
};

class EIdStackError : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdInvalidIPAddress : public EIdStackError {
public:
    explicit EIdInvalidIPAddress(const std::string& text) : EIdStackError(text + " is not a valid IP address.") {}
};

class EIdStackInitializationFailed : public EIdStackError {
public:
    EIdStackInitializationFailed() : EIdStackError("Winsock Initialization Error.") {}
};

class EIdSilentException : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdConnClosedGracefully : public EIdSilentException {
public:
    EIdConnClosedGracefully() : EIdSilentException("Connection Closed Gracefully.") {}
};

// Loading the sockets library failed, or one of its functions was called before it was loaded:
// the title alone when the platform code is 0, else the title, ": " and the platform's text.
class EIdWS2StubError : public EIdException {
public:
    EIdWS2StubError(const std::string& title, int code, const std::string& platformText)
        : EIdException(code == 0 ? title : title + ": " + platformText), Win32Error(code), Title(title) {}
    int Win32Error;
    std::string Title;
};

}  // namespace timesync
