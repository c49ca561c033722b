#include "service/request_handler.h"

#include <gtest/gtest.h>

#include <memory>

#include "loopback_sockets.h"
#include "service/port_slots.h"
#include "service/settings.h"
#include "service/zone_menu.h"
#include "tests/unit/service_recorders.h"
#include "zone_test_support.h"

namespace {

constexpr char kReplyBody[] =
    "XML=<CiscoIPPhoneExecute><ExecuteItem Priority=\"0\" URL=\"Init:Services\"/></CiscoIPPhoneExecute>";

// The service's settings and zone table for one test, put back afterwards.
class RequestHandler : public ::testing::Test {
protected:
    void SetUp() override {
        CopyBounded(savedIP_, kAddressUnits, httpServerIP);
        savedPort_ = httpServerPort;
        CopyBounded(httpServerIP, kAddressUnits, L"127.0.20.1");
        httpServerPort = 8080;
        zones_.Add(L"Lobby", L"SEP001122334455;SEP00AABBCCDDEE;");
        zones_.Add(L"Lobby A", L"SEP0000000000FF;");
        zones_.Add(L"Dock 2", L"");
        zones_.Add(L"Lobby", L"SEP0000000000AA;");
        zones_.Add(std::wstring(255, L'L'), L"");
        g_zoneTable = zones_.Records();
        g_zoneCount = zones_.Count();
        // Free ports, so that a start that runs would take one and answer.
        RTPportCreateTable(20480, 20489);
        listener_ = ListenOnFreePort(&port_);
    }
    void TearDown() override {
        RTPportCreateTable(0, -1);
        g_zoneTable = nullptr;
        g_zoneCount = 0;
        CopyBounded(httpServerIP, kAddressUnits, savedIP_);
        httpServerPort = savedPort_;
    }

    std::string Menu() { return std::string(kMenuHeader) + BuildZoneMenu(g_zoneTable, g_zoneCount, httpServerIP, httpServerPort); }

    WinsockSession winsock_;
    ZoneTable zones_;
    OwnedSocket listener_;
    u_short port_ = 0;
    wchar_t savedIP_[kAddressUnits] = {};
    int savedPort_ = 0;
};

std::string StartRequest(const std::string& zone) {
    return "GET /qax.xml?action=broadcast_start&zone=" + zone + " HTTP/1.1\r\nHost: 127.0.20.1\r\n\r\n";
}

TEST_F(RequestHandler, FindsTheZoneNamedBeforeTheHttpVersion) {
    EXPECT_EQ(FindRequestedZone(StartRequest("Lobby A").c_str()), 1);
    EXPECT_EQ(FindRequestedZone(StartRequest("Dock 2").c_str()), 2);
    EXPECT_EQ(FindRequestedZone("GET /qax.xml?action=broadcast_stop&zone=Dock 2 HTTP/1.0\r\n\r\n"), 2);
}

TEST_F(RequestHandler, ZoneNamesMatchExactlyWithoutDecoding) {
    EXPECT_EQ(FindRequestedZone(StartRequest("lobby").c_str()), -1);
    EXPECT_EQ(FindRequestedZone(StartRequest("Lobby%20A").c_str()), -1);
    EXPECT_EQ(FindRequestedZone(StartRequest("Lob").c_str()), -1);
    EXPECT_EQ(FindRequestedZone(StartRequest("Lobby A ").c_str()), -1);
    EXPECT_EQ(FindRequestedZone(StartRequest("").c_str()), -1);
}

TEST_F(RequestHandler, TheLastOfEqualNamesWins) {
    EXPECT_EQ(FindRequestedZone(StartRequest("Lobby").c_str()), 3);
}

TEST_F(RequestHandler, ARequestWithoutAZoneArgumentFindsNoZone) {
    EXPECT_EQ(FindRequestedZone("GET /qax.xml?action=broadcast_start HTTP/1.1\r\n\r\n"), -1);
    // The only "zone=" stands in a header line: no " HTTP/1" follows it.
    EXPECT_EQ(FindRequestedZone("GET /qax.xml?action=broadcast_start HTTP/1.1\r\nX-Note: zone=Lobby\r\n\r\n"), -1);
    EXPECT_EQ(FindRequestedZone("GET /qax.xml?action=broadcast_start&zone=Lobby"), -1);
}

TEST_F(RequestHandler, AZoneArgumentOver255CharactersFindsNoZone) {
    EXPECT_EQ(FindRequestedZone(StartRequest(std::string(255, 'L')).c_str()), 4);
    EXPECT_EQ(FindRequestedZone(StartRequest(std::string(256, 'L')).c_str()), -1);
    EXPECT_EQ(FindRequestedZone(StartRequest(std::string(300, 'L')).c_str()), -1);
}

TEST_F(RequestHandler, ZoneLookupTellsTheConsoleEveryEqualName) {
    const std::string request = StartRequest("Lobby");
    ::testing::internal::CaptureStdout();
    FindRequestedZone(request.c_str());
    std::string console = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(console, "Found begin zone marker...THIS: zone=Lobby HTTP/1.1\r\nHost: 127.0.20.1\r\n\r\n\r\n\r\n"
                       "Found zone target named: <Lobby>..."
                       "Found zone <Lobby> in array position 0...\r\n"
                       "members of <Lobby>: SEP001122334455;SEP00AABBCCDDEE;\r\n"
                       "Found zone <Lobby> in array position 3...\r\n"
                       "members of <Lobby>: SEP0000000000AA;\r\n"
                       "continuing...");
}

TEST_F(RequestHandler, ActionReplyIsTheInitServicesObjectWithItsLength) {
    PhoneConnection c = ConnectPhone(listener_.get(), port_, "127.0.20.21");
    auto record = ReceivedRecord(c.accepted.get(), StartRequest("Lobby"));
    PhoneRequest request{record.get(), false, "127.0.20.21", L"127.0.20.21"};
    SendActionReply(&request);
    EXPECT_TRUE(request.replied);
    // A connection gets one reply: a second one sends nothing.
    SendActionReply(&request);
    c.accepted.reset();

    ASSERT_EQ(sizeof(kReplyBody) - 1, 94u);
    EXPECT_EQ(ReceiveAll(c.phone.get(), 2000),
              std::string("HTTP/1.1 200 OK\r\nContent-type: text/xml\r\nContent-Length: 94\r\nConnection: close\r\n\r\n") +
                  kReplyBody);
}

TEST_F(RequestHandler, MenuRequestGetsTheMenuAndFinishesTheConnection) {
    PhoneConnection c = ConnectPhone(listener_.get(), port_, "127.0.20.22");
    auto record = ReceivedRecord(c.accepted.get(), "GET /qax.xml HTTP/1.1\r\nHost: 127.0.20.1:8080\r\n\r\n");
    EXPECT_EQ(HandleHttpRequest(record.get()), 1);
    c.accepted.reset();
    std::string reply = ReceiveAll(c.phone.get(), 2000);
    EXPECT_EQ(reply, Menu());
    EXPECT_NE(reply.find("<URL>http://127.0.20.1:8080/qax.xml?action=broadcast_start&amp;zone=Dock 2</URL>"),
              std::string::npos);
}

TEST_F(RequestHandler, UnrecognisedRequestsGetNoReply) {
    for (const char* text : {"GET /qax.xml?foo HTTP/1.1\r\n\r\n", "GET /QAX.XML HTTP/1.1\r\n\r\n",
                             "get /qax.xml HTTP/1.1\r\n\r\n", "GET /qax.xml\r\n\r\n", "\x01\x02garbage"}) {
        PhoneConnection c = ConnectPhone(listener_.get(), port_, "127.0.20.23");
        auto record = ReceivedRecord(c.accepted.get(), text);
        EXPECT_EQ(HandleHttpRequest(record.get()), 0) << text;
        EXPECT_EQ(ReceiveAll(c.phone.get(), 200), "") << text;
    }
}

TEST_F(RequestHandler, MenuAndStartInOneTextGetTheMenuAsTheOnlyReply) {
    PhoneConnection c = ConnectPhone(listener_.get(), port_, "127.0.20.24");
    auto record = ReceivedRecord(c.accepted.get(), "GET /qax.xml HTTP/1.1\r\n\r\nGET /qax.xml?action=broadcast_start&zone=Lobby HTTP/1.1\r\n\r\n");
    EXPECT_EQ(HandleHttpRequest(record.get()), 1);
    c.accepted.reset();
    EXPECT_EQ(ReceiveAll(c.phone.get(), 2000), Menu());
}

TEST_F(RequestHandler, StopFromAPhoneWithoutABroadcastEndsTheRequest) {
    // The stop names no zone and the phone holds no slot. The start in the same text would
    // look up the same first zone argument and take nothing either: only its console lines
    // would show that it was tried.
    PhoneConnection c = ConnectPhone(listener_.get(), port_, "127.0.20.25");
    auto record = ReceivedRecord(c.accepted.get(),
                          "GET /qax.xml?action=broadcast_stop&zone=Nowhere HTTP/1.1\r\n\r\n"
                          "GET /qax.xml?action=broadcast_start&zone=Lobby HTTP/1.1\r\n\r\n");
    ConsoleCapture console;
    EXPECT_EQ(HandleHttpRequest(record.get()), 0);
    const std::string out = console.Finish();
    EXPECT_EQ(ReceiveAll(c.phone.get(), 300), "");
    EXPECT_NE(out.find("Received request for stopping broadcasting to zone..."), std::string::npos) << out;
    EXPECT_EQ(out.find("Received request for broadcasting to zone..."), std::string::npos) << "the start was tried";
}

}  // namespace
