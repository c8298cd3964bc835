#include "timesync/IdStack.h"

#include <netdb.h>

#include <gtest/gtest.h>

#include "tests/timesync/LoopbackStack.h"
#include "timesync/IdException.h"
#include "timesync/IdUDPClient.h"

using namespace timesync;

namespace {

std::string Bytes(const std::string& text) {
    TIdInAddr b;
    if (!TIdStack::ParseAddressLiteral(text, b)) return "rejected";
    return TIdStack::TranslateTInAddrToString(b);
}

}  // namespace

TEST(IdStackTest, address_texts_in_the_four_forms) {
    EXPECT_EQ(Bytes("1.2.3.4"), "1.2.3.4");
    EXPECT_EQ(Bytes("1.131844"), "1.2.3.4");
    EXPECT_EQ(Bytes("1.2.772"), "1.2.3.4");
    EXPECT_EQ(Bytes("16909060"), "1.2.3.4");
    EXPECT_EQ(Bytes("4294967295"), "255.255.255.255");
    EXPECT_EQ(Bytes("0"), "0.0.0.0");
    EXPECT_EQ(Bytes("1..3.4"), "0.0.0.1");  // an empty second part means the one-part form
    EXPECT_EQ(Bytes("1.2."), "1.0.0.2");
}

TEST(IdStackTest, texts_that_are_no_address) {
    for (const char* t : {"1.2.3.256", "1.2.3.4.5", "-1", "", "4294967296", "256.1", "1.16777216", "1.2.65536",
                          "a.b.c.d", " 1.2.3.4", "1.2.3.4 ", "+1", "0x7f.0.0.1"})
        EXPECT_EQ(Bytes(t), "rejected") << t;
    EXPECT_THROW(TIdStack::TranslateStringToTInAddr("1.2.3.256"), EIdInvalidIPAddress);
    try {
        TIdStack::TranslateStringToTInAddr("nonsense");
    } catch (const EIdInvalidIPAddress& e) {
        EXPECT_STREQ(e.what(), "nonsense is not a valid IP address.");
    }
}

TEST(IdStackTest, error_texts_with_their_line_break) {
    EXPECT_EQ(TIdStack::ErrorText(11001), "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(TIdStack::ErrorText(10035), "Socket Error # 10035\r\nOperation would block. ");
    EXPECT_EQ(TIdStack::ErrorText(10066), "Socket Error # 10066\r\nDirectory not empty");
    EXPECT_EQ(TIdStack::ErrorText(10061), "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(TIdStack::ErrorText(12345), "Socket Error # 12345\r\n");
    EXPECT_STREQ(EIdConnClosedGracefully().what(), "Connection Closed Gracefully.");
    EXPECT_STREQ(EIdStackInitializationFailed().what(), "Winsock Initialization Error.");
    EXPECT_STREQ(EIdWS2StubError("Error on loading Winsock2 library (WS2_32.DLL)", 0, "x").what(),
                 "Error on loading Winsock2 library (WS2_32.DLL)");
    EXPECT_STREQ(EIdWS2StubError("Error on call Winsock2 library function send", 10093, "not started").what(),
                 "Error on call Winsock2 library function send: not started");
}

TEST(IdStackTest, the_stack_lives_from_the_first_component_to_the_last) {
    testing_support::UseLoopbackStack();
    TIdStackCounters before = StackCounters();
    {
        TIdUDPClient a;
        ASSERT_NE(GStack(), nullptr);
        {
            TIdUDPClient b;
        }
        EXPECT_EQ(StackCounters().Created, before.Created + 1);
        EXPECT_EQ(StackCounters().Destroyed, before.Destroyed);
    }
    EXPECT_EQ(GStack(), nullptr);
    EXPECT_EQ(StackCounters().Destroyed, before.Destroyed + 1);
    {
        TIdUDPClient again;
        EXPECT_EQ(StackCounters().Created, before.Created + 2);
    }
}

TEST(IdStackTest, a_failing_stack_creation_leaves_no_component_counted) {
    SetStackFactory([]() -> TIdStack* { throw EIdStackInitializationFailed(); });
    EXPECT_THROW(TIdUDPClient c, EIdStackInitializationFailed);
    testing_support::UseLoopbackStack();
    TIdStackCounters before = StackCounters();
    {
        TIdUDPClient c;
    }
    EXPECT_EQ(StackCounters().Created, before.Created + 1);
    EXPECT_EQ(StackCounters().Destroyed, before.Destroyed + 1);
}

TEST(IdStackTest, localhost_in_any_case_needs_no_lookup_and_unknown_names_fail_with_11001) {
    testing_support::UseLoopbackStack();
    TIdUDPClient c;
    for (const char* h : {"localhost", "LocalHost", "LOCALHOST"}) EXPECT_EQ(GStack()->ResolveAddress(h), "127.0.0.1");
    EXPECT_EQ(GStack()->ResolveAddress("1.131844"), "1.131844");
    EXPECT_EQ(GStack()->ResolveAddress("ntp.loopback.test"), "127.0.0.1");
    try {
        GStack()->ResolveAddress("no-such-host.example");
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.LastError, 11001);
        EXPECT_STREQ(e.what(), "Socket Error # 11001\r\nHost not found.");
        EXPECT_EQ(GStack()->LastErrorCode, 11001);
    }
    EXPECT_EQ(WsaFromLookupError(EAI_AGAIN), 11002);
    EXPECT_EQ(WsaFromLookupError(EAI_NONAME), 11001);
}

TEST(IdStackTest, active_opens_one_socket_and_inactive_closes_it) {
    testing_support::UseLoopbackStack();
    TIdUDPClient c;
    EXPECT_FALSE(c.GetActive());
    c.SetActive(false);
    EXPECT_FALSE(c.GetActive());
    c.SetActive(true);
    TIdStackSocketHandle first = c.SocketHandle().Handle();
    c.SetActive(true);
    EXPECT_EQ(c.SocketHandle().Handle(), first);
    c.SetActive(false);
    EXPECT_FALSE(c.GetActive());
    EXPECT_THROW(TIdSocketHandle().WaitReadable(0), EIdConnClosedGracefully);
}

TEST(IdStackTest, deferred_activation_while_loading) {
    testing_support::UseLoopbackStack();
    TIdUDPClient c;
    c.Loading = true;
    c.SetActive(true);
    EXPECT_TRUE(c.GetActive());  // reads the deferred flag
    c.Loaded();
    EXPECT_TRUE(c.GetActive());
    EXPECT_NE(c.SocketHandle().Handle(), Id_INVALID_SOCKET);
}

TEST(IdStackTest, loopback_datagrams_time_out_empty_and_oversized_fail_with_10040) {
    testing_support::UseLoopbackStack();
    TIdUDPClient server, client;
    // The "server" learns its own port from a first datagram sent to itself.
    server.SetHost("127.0.0.1");
    server.SetActive(true);
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    server.SetPort(9);
    server.SendText("x");  // binds it to an ephemeral port
    getsockname(static_cast<int>(server.SocketHandle().Handle()), reinterpret_cast<sockaddr*>(&addr), &len);
    client.SetHost("localhost");
    client.SetPort(ntohs(addr.sin_port));
    client.SetActive(true);

    EXPECT_EQ(server.ReceiveText(50), "");  // nothing in 50 ms
    client.SendText(std::string(48, 'a'));
    server.BufferSize = 48;
    EXPECT_EQ(server.ReceiveText(2500), std::string(48, 'a'));
    client.SendText(std::string(68, 'b'));
    try {
        server.ReceiveText(2500);
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.LastError, 10040);
        EXPECT_STREQ(e.what(), "Socket Error # 10040\r\nMessage too long.");
    }
}
