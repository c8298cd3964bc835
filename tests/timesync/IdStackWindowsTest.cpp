// The Windows sockets stack, loaded by name, against loopback peers made here with Winsock itself
// and, when the test script started one, a local chronyd (TEMPIX_CHRONY_PORT).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <thread>

#include "base/ClockSim.h"
#include "timesync/IdException.h"
#include "timesync/IdSNTP.h"
#include "timesync/IdStackWindows.h"
#include "timesync/IdUDPClient.h"
#include "timesync/IdWinSock2.h"

using namespace timesync;

namespace {

// A UDP socket of the test's own on 127.0.0.1 (linked Winsock, not the stack under test).
class TPeer {
public:
    TPeer() {
        WSADATA d;
        WSAStartup(0x0202, &d);
        s_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(s_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        int len = sizeof a;
        getsockname(s_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        DWORD timeout = 3000;
        setsockopt(s_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    }
    ~TPeer() {
        closesocket(s_);
        WSACleanup();
    }
    int Port() const { return port_; }
    // Waits for one datagram and answers the sender with `reply`; returns what came.
    std::string AnswerOnce(const std::string& reply) {
        char buf[512];
        sockaddr_in from{};
        int len = sizeof from;
        int n = recvfrom(s_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) return "";
        sendto(s_, reply.data(), static_cast<int>(reply.size()), 0, reinterpret_cast<sockaddr*>(&from), len);
        return std::string(buf, static_cast<size_t>(n));
    }

private:
    SOCKET s_;
    int port_ = 0;
};

std::string StubMessage(const std::function<void()>& f, int& code) {
    try {
        f();
    } catch (const EIdWS2StubError& e) {
        code = e.Win32Error;
        return e.what();
    }
    return "";
}

}  // namespace

TEST(IdStackWindows, library_failures_are_stub_errors) {
    FreeWinsock();
    int code = 0;
    std::string msg = StubMessage([] { ws2::Socket(AF_INET, SOCK_DGRAM, 0); }, code);
    EXPECT_EQ(code, 10093);
    EXPECT_EQ(msg.rfind("Error on call Winsock2 library function socket: ", 0), 0u) << msg;

    WinsockLibraryName() = "NO_SUCH_WS2.DLL";
    msg = StubMessage([] { LoadWinsock(); }, code);
    WinsockLibraryName() = "WS2_32.DLL";
    EXPECT_EQ(code, ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(msg.rfind("Error on loading Winsock2 library (NO_SUCH_WS2.DLL): ", 0), 0u) << msg;
    EXPECT_FALSE(WinsockLoaded());

    // The stack loads it again; the interface stays started for the rest of the process.
    TIdStackWindows stack;
    EXPECT_TRUE(WinsockLoaded());
    EXPECT_TRUE(WinsockStarted());
    EXPECT_EQ(stack.WSHToNs(0x1234), 0x3412);
    EXPECT_FALSE(stack.WSGetHostName().empty());
    EXPECT_EQ(stack.WSTranslateSocketErrorMsg(11001), "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(stack.WSTranslateSocketErrorMsg(10040), "Socket Error # 10040\r\nMessage too long.");
}

TEST(IdStackWindows, datagrams_both_ways_a_long_one_fails_and_silence_times_out) {
    TPeer peer;
    TIdUDPClient client;
    client.SetHost("LOCALHOST");
    client.SetPort(peer.Port());
    client.BufferSize = 48;
    client.SetActive(true);

    std::thread answer([&] { EXPECT_EQ(peer.AnswerOnce(std::string(48, 'b')), std::string(48, 'a')); });
    client.SendText(std::string(48, 'a'));
    EXPECT_EQ(client.ReceiveText(2500), std::string(48, 'b'));
    answer.join();

    answer = std::thread([&] { peer.AnswerOnce(std::string(68, 'c')); });
    client.SendText("x");
    try {
        client.ReceiveText(2500);
        ADD_FAILURE() << "a 68-byte datagram fitted a 48-byte buffer";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.LastError, 10040);
        EXPECT_STREQ(e.what(), "Socket Error # 10040\r\nMessage too long.");
    }
    answer.join();

    DWORD start = GetTickCount();
    EXPECT_EQ(client.ReceiveText(300), "");
    EXPECT_GE(GetTickCount() - start, 250u);
    client.SetActive(false);
}

TEST(IdStackWindows, sntp_exchange_against_the_local_chronyd) {
    const char* port = std::getenv("TEMPIX_CHRONY_PORT");
    if (!port || !*port) GTEST_SKIP() << "no chronyd started for this run";
    base::TRecordingSetterClock clock;
    TIdSNTP sntp(clock);
    sntp.SetHost("127.0.0.1");
    sntp.SetPort(std::atoi(port));
    sntp.SetReceiveTimeout(2500);
    sntp.SetActive(true);
    ASSERT_TRUE(sntp.SynchroniseClock());
    sntp.SetActive(false);
    EXPECT_EQ(sntp.Stratum, 8);
    EXPECT_LT(std::fabs(sntp.ClockOffset * 86400.0), 0.05);  // the same clock on both sides
    EXPECT_EQ(clock.Settings.size(), 1u);                     // set through the recording clock only
}
