#include "service/socket_send.h"

#include <gtest/gtest.h>

#include <thread>

#include "loopback_sockets.h"

namespace {

// A phone's connection to the service, the service's end non-blocking as the server holds it.
class WholeReply : public testing::Test {
protected:
    PhoneConnection Connect(const char* phoneAddress) {
        u_short port = 0;
        OwnedSocket listener = ListenOnFreePort(&port);
        return ConnectPhone(listener.get(), port, phoneAddress);
    }

    WinsockSession winsock_;
};

TEST_F(WholeReply, CompletesATextLargerThanTheSocketTakesAtOnce) {
    PhoneConnection c = Connect("127.0.20.41");

    std::string text(16 * 1024 * 1024, 'x');
    for (size_t i = 0; i < text.size(); i += 4096) text[i] = static_cast<char>('a' + (i / 4096) % 26);
    std::string received;
    std::thread reader([&] { received = ReceiveAll(c.phone.get(), 3000); });
    bool sent = SendAll(c.accepted.get(), text.data(), text.size());
    c.accepted.reset();
    reader.join();

    EXPECT_TRUE(sent);
    EXPECT_EQ(received.size(), text.size());
    EXPECT_TRUE(received == text);
}

TEST_F(WholeReply, GivesUpWhenThePeerStopsReading) {
    PhoneConnection c = Connect("127.0.20.42");

    std::string text(64 * 1024 * 1024, 'x');
    ULONGLONG begin = GetTickCount64();
    EXPECT_FALSE(SendAll(c.accepted.get(), text.data(), text.size(), 500));
    ULONGLONG elapsed = GetTickCount64() - begin;
    EXPECT_GE(elapsed, 450u);
    EXPECT_LT(elapsed, 3000u);
}

TEST_F(WholeReply, FailsOnAClosedConnection) {
    PhoneConnection c = Connect("127.0.20.43");
    SOCKET accepted = c.accepted.release();
    closesocket(accepted);
    const char text[] = "reply";
    EXPECT_FALSE(SendAll(accepted, text, sizeof(text) - 1));
}

}  // namespace
