// The broadcast control's decisions: which requests are answered, which slot is taken and
// freed, the beeps and the events. The phones of these tests have addresses where nothing
// listens, so their job threads end quickly; what the phones receive is the end-to-end
// tests' part, but for the sweep, whose clock only a test here can move.
#include "service/broadcast.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/text.h"
#include "loopback_sockets.h"
#include "service/port_slots.h"
#include "service/server_beep.h"
#include "service/settings.h"
#include "tests/unit/phone_targets_support.h"
#include "tests/unit/service_recorders.h"
#include "tests/unit/zone_test_support.h"

namespace {

constexpr char kRequester[] = "127.0.30.111";
constexpr int kFirstPort = 20480;

std::vector<std::pair<DWORD, DWORD>> g_beeps;
void RecordBeep(DWORD frequency, DWORD duration) { g_beeps.emplace_back(frequency, duration); }

DWORD g_fakeTick = 0;
DWORD FakeTick() { return g_fakeTick; }

// One phone request on a real loopback connection from the phone's own address, as the
// connection server hands it over.
class PhoneCall {
public:
    PhoneCall(const char* phoneAddress, const std::string& requestLine) {
        u_short port = 0;
        OwnedSocket listener = ListenOnFreePort(&port);
        connection_ = ConnectPhone(listener.get(), port, phoneAddress);
        record_ = ReceivedRecord(connection_.accepted.get(), "GET " + requestLine + " HTTP/1.1\r\nHost: " +
                                                                 kServiceAddress + "\r\n\r\n");
        request_.connection = record_.get();
        request_.replied = false;
        CopyBounded(request_.requesterIP, sizeof request_.requesterIP, phoneAddress);
        WidenLatin1Into(request_.requesterIPw, 16, phoneAddress);
    }

    PhoneRequest* request() { return &request_; }

    // What the service sent, once it has closed its end.
    std::string Answer() {
        connection_.accepted.reset();
        return ReceiveAll(connection_.phone.get(), 2000);
    }

private:
    PhoneConnection connection_;
    std::unique_ptr<SOCKET_INFORMATION> record_;
    PhoneRequest request_{};
};

class BroadcastControl : public ::testing::Test {
protected:
    void SetUp() override {
        g_beeps.clear();
        SetBeepHandler(RecordBeep);
        CopyBounded(wzMulticastTargetIP, kAddressUnits, L"239.1.1.1");
        CopyBounded(httpServerIP, kAddressUnits, L"127.0.30.1");
        zones_.Add(L"Lobby", L"SEP001122334455;SEP00AABBCCDDEE");
        zones_.Add(L"Yard", L"SEP0000000000AA");
        g_zoneTable = zones_.Records();
        g_zoneCount = zones_.Count();
        ASSERT_EQ(RTPportCreateTable(kFirstPort, kFirstPort + 1), 1);
    }
    void TearDown() override {
        SetBeepHandler(nullptr);
        SetPortSlotTickSource(nullptr);
        g_zoneTable = nullptr;
        g_zoneCount = 0;
        RTPportCreateTable(0, -1);
    }

    static std::vector<std::pair<DWORD, DWORD>> Confirmation() { return {{300, 100}, {500, 100}, {700, 100}}; }

    WinsockSession winsock_;
    ZoneTable zones_;
    // The requester is a member of Lobby itself; 127.0.30.112 is the other member.
    TargetList targets_{{"127.0.30.112", L"SEP00AABBCCDDEE"},
                        {kRequester, L"SEP001122334455"},
                        {"127.0.30.130", L"SEP0000000000FF"}};
    EventRecorder events_;
};

const std::string kActionReply =
    "HTTP/1.1 200 OK\r\nContent-type: text/xml\r\nContent-Length: 94\r\nConnection: close\r\n\r\n"
    "XML=<CiscoIPPhoneExecute><ExecuteItem Priority=\"0\" URL=\"Init:Services\"/></CiscoIPPhoneExecute>";

}  // namespace

TEST_F(BroadcastControl, StartAndStopAnswerBeepReportAndFreeTheSlot) {
    PhoneCall start(kRequester, "/qax.xml?action=broadcast_start&zone=Lobby");
    StartBroadcast(start.request());
    EXPECT_TRUE(start.request()->replied);
    EXPECT_EQ(start.Answer(), kActionReply);
    EXPECT_EQ(RTPportFind(kRequester), kFirstPort);

    // The requester's own member entry beeps in place of a job, before the confirmation.
    std::vector<std::pair<DWORD, DWORD>> expected{{500, 200}};
    for (auto beep : Confirmation()) expected.push_back(beep);
    EXPECT_EQ(g_beeps, expected);
    ASSERT_EQ(events_.events().size(), 1u);
    EXPECT_EQ(events_.events()[0].id, 0x4000000Bu);
    EXPECT_EQ(events_.events()[0].type, EVENTLOG_INFORMATION_TYPE);
    const std::vector<std::wstring> strings{L"Lobby", L"239.1.1.1:20480", L"127.0.30.111"};
    EXPECT_EQ(events_.events()[0].strings, strings);

    g_beeps.clear();
    PhoneCall stop(kRequester, "/qax.xml?action=broadcast_stop%26amp%3Bzone=Lobby");
    EXPECT_EQ(StopBroadcast(stop.request()), 1);
    EXPECT_EQ(stop.Answer(), kActionReply);
    EXPECT_EQ(g_beeps, expected);
    ASSERT_EQ(events_.events().size(), 2u);
    EXPECT_EQ(events_.events()[1].id, 0x4000000Cu);
    EXPECT_EQ(events_.events()[1].type, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(events_.events()[1].strings, strings);

    EXPECT_EQ(RTPportFind(kRequester), -1);
    EXPECT_EQ(RTPportAcquire("127.0.30.120", 0), kFirstPort);
}

TEST_F(BroadcastControl, ZoneWithoutPagedPhonesStillStartsForTheInitiator) {
    PhoneCall start(kRequester, "/qax.xml?action=broadcast_start&zone=Yard");
    StartBroadcast(start.request());
    EXPECT_TRUE(start.request()->replied);
    EXPECT_EQ(g_beeps, Confirmation());
    ASSERT_EQ(events_.events().size(), 1u);
    EXPECT_EQ(events_.events()[0].strings,
              (std::vector<std::wstring>{L"Yard", L"239.1.1.1:20480", L"127.0.30.111"}));
}

TEST_F(BroadcastControl, StartsThatFindNoSlotOrNoZoneLeaveEverythingAsItWas) {
    // Unknown zone: no answer, and no slot taken (the zone is looked up first).
    PhoneCall unknown(kRequester, "/qax.xml?action=broadcast_start&zone=lobby");
    StartBroadcast(unknown.request());
    EXPECT_FALSE(unknown.request()->replied);
    EXPECT_EQ(RTPportFind(kRequester), -1);

    // Every slot held: no answer, nothing taken.
    ASSERT_EQ(RTPportAcquire("127.0.30.121", 0), kFirstPort);
    ASSERT_EQ(RTPportAcquire("127.0.30.122", 0), kFirstPort + 1);
    PhoneCall full(kRequester, "/qax.xml?action=broadcast_start&zone=Lobby");
    StartBroadcast(full.request());
    EXPECT_FALSE(full.request()->replied);
    EXPECT_EQ(RTPportFind(kRequester), -1);
    EXPECT_EQ(RTPportFind("127.0.30.121"), kFirstPort);
    EXPECT_EQ(RTPportFind("127.0.30.122"), kFirstPort + 1);

    EXPECT_TRUE(g_beeps.empty());
    EXPECT_TRUE(events_.events().empty());
    EXPECT_EQ(unknown.Answer(), "");
    EXPECT_EQ(full.Answer(), "");
}

TEST_F(BroadcastControl, StopsThatStopNothing) {
    // A phone that holds no slot names no zone: no answer, and the handler is told to end the
    // request.
    PhoneCall stranger(kRequester, "/qax.xml?action=broadcast_stop&zone=Nowhere");
    EXPECT_EQ(StopBroadcast(stranger.request()), 0);
    EXPECT_FALSE(stranger.request()->replied);
    EXPECT_EQ(stranger.Answer(), "");

    // A slot holder naming no zone: answered, and the broadcast's slot stays held.
    ASSERT_EQ(RTPportAcquire(kRequester, 0), kFirstPort);
    PhoneCall unknown(kRequester, "/qax.xml?action=broadcast_stop&zone=Nowhere");
    EXPECT_EQ(StopBroadcast(unknown.request()), 1);
    EXPECT_EQ(unknown.Answer(), kActionReply);
    EXPECT_EQ(RTPportFind(kRequester), kFirstPort);

    EXPECT_TRUE(g_beeps.empty());
    EXPECT_TRUE(events_.events().empty());
}

TEST_F(BroadcastControl, SweepEndsABroadcastOlderThanTheMaximumDurationAsItsStopWould) {
    PushRecorder initiator(kRequester);
    PushRecorder member("127.0.30.112");
    ASSERT_TRUE(initiator.listening() && member.listening()) << "port 80 of the phones' addresses";
    g_fakeTick = 1000;
    SetPortSlotTickSource(FakeTick);
    PhoneCall start(kRequester, "/qax.xml?action=broadcast_start&zone=Lobby");
    StartBroadcast(start.request());
    ASSERT_EQ(RTPportFind(kRequester, 0), kFirstPort);

    g_fakeTick = 1000 + 5 * 60000;  // five minutes: not yet exceeded
    EXPECT_EQ(RTPportSweep(5, EndExpiredBroadcast), 0);
    EXPECT_EQ(events_.events().size(), 1u);
    g_beeps.clear();
    g_fakeTick += 1;
    EXPECT_EQ(RTPportSweep(5, EndExpiredBroadcast), 1);

    // The stop event names what the start named; the slot is free for the next broadcast.
    ASSERT_EQ(events_.events().size(), 2u);
    EXPECT_EQ(events_.events()[1].id, 0x4000000Cu);
    EXPECT_EQ(events_.events()[1].strings, (std::vector<std::wstring>{L"Lobby", L"239.1.1.1:20480", L"127.0.30.111"}));
    std::vector<std::pair<DWORD, DWORD>> expected{{500, 200}};
    for (auto beep : Confirmation()) expected.push_back(beep);
    EXPECT_EQ(g_beeps, expected);
    EXPECT_EQ(RTPportFind(kRequester), -1);
    EXPECT_EQ(RTPportAcquire("127.0.30.120", 1), kFirstPort);

    // The holder stops transmitting; the member stops receiving and is cleared, each after
    // its start pushes.
    const std::vector<std::string> toInitiator = initiator.WaitForBodies(4, 10000);
    const std::vector<std::string> toMember = member.WaitForBodies(6, 10000);
    const std::vector<const char*> initiatorMarks{"RTPMTx:239.1.1.1:20480\"", "<SoftKeyItem>", "Play:", "RTPMTx:Stop"};
    const std::vector<const char*> memberMarks{"RTPMRx:239.1.1.1:20480:", "EMERGENCY ALERT MESSAGE", "Play:",
                                               "RTPMRx:Stop",  "<Title> </Title>",        "Init:Services"};
    ASSERT_EQ(toInitiator.size(), initiatorMarks.size());
    for (size_t i = 0; i < initiatorMarks.size(); ++i)
        EXPECT_NE(toInitiator[i].find(initiatorMarks[i]), std::string::npos) << i << ": " << toInitiator[i];
    ASSERT_EQ(toMember.size(), memberMarks.size());
    for (size_t i = 0; i < memberMarks.size(); ++i)
        EXPECT_NE(toMember[i].find(memberMarks[i]), std::string::npos) << i << ": " << toMember[i];
}
