#include "service/http_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "common/text.h"
#include "loopback_sockets.h"
#include "service/event_log.h"
#include "service/settings.h"
#include "tests/unit/service_recorders.h"

namespace {

// The settings of one test, put back afterwards; the events reported meanwhile are recorded.
class ConnectionServer : public ::testing::Test {
protected:
    void SetUp() override {
        CopyBounded(savedIP_, kAddressUnits, httpServerIP);
        savedPort_ = httpServerPort;
    }
    void TearDown() override {
        CopyBounded(httpServerIP, kAddressUnits, savedIP_);
        httpServerPort = savedPort_;
        while (g_connectionCount > 0) FreeSocketInformation(0);
    }

    // Runs the server on this thread: it comes back only when it cannot serve.
    std::string RunServerExpectingFailure() {
        ConsoleCapture console;
        EXPECT_EQ(HttpServerThread(nullptr), 0u);
        return console.Finish();
    }

    const std::vector<RecordedEvent>& events() const { return recorder_.events(); }

    WinsockSession winsock_;
    EventRecorder recorder_;
    wchar_t savedIP_[kAddressUnits] = {};
    int savedPort_ = 0;
};

TEST_F(ConnectionServer, AnAddressNotOnTheHostStopsTheServiceWithTheBindEvent) {
    // Binding sends nothing: an address that is not on this host simply cannot be bound.
    CopyBounded(httpServerIP, kAddressUnits, L"192.0.2.1");
    httpServerPort = 8080;
    std::string console = RunServerExpectingFailure();

    EXPECT_NE(console.find("Binding failed with error 10049\n"), std::string::npos) << console;
    ASSERT_GE(events().size(), 2u);
    EXPECT_EQ(events()[0].id, 0xC000000Au);
    EXPECT_EQ(events()[0].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(events()[0].strings, (std::vector<std::wstring>{L"192.0.2.1", L"8080", L"10049"}));
    // The self-stop: the control handler reports the service stopping.
    EXPECT_EQ(events()[1].id, 4u);
    for (const RecordedEvent& e : events()) EXPECT_NE(e.id, 9u) << "serving was reported";
}

TEST_F(ConnectionServer, TheBindEventShowsTheWholeConfiguredPort) {
    CopyBounded(httpServerIP, kAddressUnits, L"192.0.2.1");
    httpServerPort = 65616;
    RunServerExpectingFailure();
    ASSERT_FALSE(events().empty());
    EXPECT_EQ(events()[0].strings, (std::vector<std::wstring>{L"192.0.2.1", L"65616", L"10049"}));
}

TEST_F(ConnectionServer, APortInUseStopsTheServiceWithTheBindEvent) {
    u_short port = 0;
    OwnedSocket holder = ListenOnFreePort(&port);
    CopyBounded(httpServerIP, kAddressUnits, L"127.0.20.1");
    httpServerPort = port;
    std::string console = RunServerExpectingFailure();

    EXPECT_NE(console.find("Binding failed with error 10048\n"), std::string::npos) << console;
    ASSERT_FALSE(events().empty());
    EXPECT_EQ(events()[0].id, 0xC000000Au);
    EXPECT_EQ(events()[0].strings, (std::vector<std::wstring>{L"127.0.20.1", std::to_wstring(port), L"10048"}));
}

// The reports of a server running on a thread of its own, guarded for the reading test.
std::mutex g_servingLock;
std::condition_variable g_servingReported;
std::vector<RecordedEvent> g_servingEvents;

void RecordServingEvent(DWORD id, WORD type, const wchar_t** strings, WORD count) {
    RecordedEvent e{id, type, {}};
    for (WORD i = 0; i < count; ++i) e.strings.push_back(strings[i]);
    std::lock_guard<std::mutex> lock(g_servingLock);
    g_servingEvents.push_back(e);
    g_servingReported.notify_all();
}

TEST_F(ConnectionServer, ServingIsReportedOnceWithAddressAndPort) {
    u_short port = 0;
    ListenOnFreePort(&port);  // a port nobody else holds: closed again at once
    CopyBounded(httpServerIP, kAddressUnits, L"127.0.20.1");
    httpServerPort = port;
    EventReporter previous = SetEventReporter(RecordServingEvent);
    // The server serves for the life of this test program; nothing connects to it, so it
    // waits in select and touches no connection record.
    HANDLE server = CreateThread(nullptr, 0, HttpServerThread, nullptr, 0, nullptr);
    ASSERT_NE(server, nullptr);
    CloseHandle(server);
    {
        std::unique_lock<std::mutex> lock(g_servingLock);
        ASSERT_TRUE(g_servingReported.wait_for(lock, std::chrono::seconds(20), [] { return !g_servingEvents.empty(); }));
        ASSERT_EQ(g_servingEvents.size(), 1u);
        EXPECT_EQ(g_servingEvents[0].id, 9u);
        EXPECT_EQ(g_servingEvents[0].type, EVENTLOG_INFORMATION_TYPE);
        EXPECT_EQ(g_servingEvents[0].strings, (std::vector<std::wstring>{L"127.0.20.1", std::to_wstring(port)}));
    }
    SetEventReporter(previous);
}

TEST_F(ConnectionServer, RecordsKeepThePeerAndTheOrderOfAcceptance) {
    u_short port = 0;
    OwnedSocket listener = ListenOnFreePort(&port);
    PhoneConnection first = ConnectPhone(listener.get(), port, "127.0.20.31");
    PhoneConnection second = ConnectPhone(listener.get(), port, "127.0.20.32");
    PhoneConnection third = ConnectPhone(listener.get(), port, "127.0.20.33");
    ASSERT_EQ(CreateSocketInformation(first.accepted.release()), 1);
    ASSERT_EQ(CreateSocketInformation(second.accepted.release()), 1);
    ASSERT_EQ(CreateSocketInformation(third.accepted.release()), 1);
    ASSERT_EQ(g_connectionCount, 3u);

    sockaddr_in phoneEnd{};
    int length = sizeof(phoneEnd);
    getsockname(second.phone.get(), reinterpret_cast<sockaddr*>(&phoneEnd), &length);
    EXPECT_EQ(std::string(inet_ntoa(g_connections[1]->Peer.sin_addr)), "127.0.20.32");
    EXPECT_EQ(g_connections[1]->Peer.sin_port, phoneEnd.sin_port);
    EXPECT_EQ(g_connections[1]->PeerLength, 16);

    // Freeing the first closes its socket and moves the later ones down, in order.
    SOCKET secondSocket = g_connections[1]->Socket;
    SOCKET thirdSocket = g_connections[2]->Socket;
    FreeSocketInformation(0);
    EXPECT_TRUE(PeerClosed(first.phone.get(), 2000));
    EXPECT_FALSE(PeerClosed(second.phone.get(), 100));
    ASSERT_EQ(g_connectionCount, 2u);
    EXPECT_EQ(g_connections[0]->Socket, secondSocket);
    EXPECT_EQ(g_connections[1]->Socket, thirdSocket);
}

TEST_F(ConnectionServer, TheTableHoldsAtMost63Connections) {
    u_short port = 0;
    OwnedSocket listener = ListenOnFreePort(&port);
    std::vector<PhoneConnection> phones;
    for (int i = 0; i < 64; ++i) phones.push_back(ConnectPhone(listener.get(), port, "127.0.20.34"));
    for (int i = 0; i < 63; ++i) ASSERT_EQ(CreateSocketInformation(phones[i].accepted.release()), 1) << i;
    EXPECT_EQ(CreateSocketInformation(phones[63].accepted.get()), 0);
    EXPECT_EQ(g_connectionCount, 63u);
}

}  // namespace
