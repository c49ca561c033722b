// The port slot table: creation from the configured range, acquisition, lookup, release and
// the sweep, with the clock in the test's hand.
#include "service/port_slots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "service/server_beep.h"
#include "tests/unit/service_recorders.h"

namespace {

DWORD g_fakeTick = 0;
DWORD FakeTick() { return g_fakeTick; }

std::vector<std::pair<DWORD, DWORD>> g_beeps;
void RecordBeep(DWORD frequency, DWORD duration) { g_beeps.emplace_back(frequency, duration); }

class PortSlots : public testing::Test {
protected:
    void SetUp() override {
        g_fakeTick = 1000;
        SetPortSlotTickSource(FakeTick);
        g_beeps.clear();
        SetBeepHandler(RecordBeep);
    }
    void TearDown() override {
        SetBeepHandler(nullptr);
        SetPortSlotTickSource(nullptr);
        console_.Finish();
        RTPportCreateTable(0, -1);
    }
    // Creates the table with the console captured; returns the result.
    int Create(int start, int end) { return RTPportCreateTable(start, end); }
    std::string Console() { return console_.Finish(); }

    ConsoleCapture console_;
};

int HeldSlots() {
    int held = 0;
    for (int i = 0; i < g_rtpPortSlotCount; ++i) held += g_rtpPortSlots[i].inUse != 0;
    return held;
}

}  // namespace

TEST_F(PortSlots, RangeGivesOneSlotPerPortAndPrintsEachAssignment) {
    ASSERT_EQ(Create(5000, 5009), 1);
    EXPECT_TRUE(g_beeps.empty());
    ASSERT_EQ(g_rtpPortSlotCount, 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(g_rtpPortSlots[i].port, 5000 + i);
        EXPECT_EQ(g_rtpPortSlots[i].inUse, 0u);
    }
    const std::string out = Console();
    std::string expected = "Memory allocated for 10 ports.\r\n";
    for (int i = 0; i < 10; ++i)
        expected += "RTPportInitialize(): Slot " + std::to_string(i) + " now assigned with port: " + std::to_string(5000 + i) + "\r\n";
    for (int i = 0; i < 10; ++i)
        expected += "replaying...RTPportInitialize(): Slot " + std::to_string(i) + " is assigned with port: " +
                    std::to_string(5000 + i) + "\r\n";
    EXPECT_EQ(out, expected);
}

TEST_F(PortSlots, AcquisitionTakesTheLowestFreeSlotAndRecordsTheHolder) {
    ASSERT_EQ(Create(5000, 5009), 1);
    EXPECT_EQ(RTPportAcquire("127.0.10.21", 0), 5000);
    EXPECT_EQ(RTPportAcquire("127.0.10.22", 0), 5001);
    EXPECT_EQ(RTPportAcquire("127.0.10.23", 0), 5002);
    EXPECT_STREQ(g_rtpPortSlots[1].holderIP, "127.0.10.22");
    EXPECT_EQ(g_rtpPortSlots[1].acquiredTick, 1000u);
    EXPECT_EQ(HeldSlots(), 3);

    EXPECT_EQ(RTPportRelease(5001), 1);
    EXPECT_EQ(RTPportAcquire("127.0.10.24", 0), 5001) << "the slot just released is the lowest free one";
    const std::string out = Console();
    EXPECT_NE(out.find("Checking slot 0...RTPportAcquire(): Slot 0 now assigned / Returning port: 5000\r\n"), std::string::npos);
    EXPECT_NE(out.find("Checking slot 0...Checking slot 1...Checking slot 2...RTPportAcquire(): Slot 2 now assigned / "
                       "Returning port: 5002\r\n"),
              std::string::npos);
}

TEST_F(PortSlots, FullTableHandsOutNothingAndChangesNothing) {
    ASSERT_EQ(Create(6000, 6001), 1);
    EXPECT_EQ(RTPportAcquire("127.0.10.21", 0), 6000);
    EXPECT_EQ(RTPportAcquire("127.0.10.22", 0), 6001);
    g_fakeTick = 5000;
    EXPECT_EQ(RTPportAcquire("127.0.10.23", 0), 0);
    EXPECT_STREQ(g_rtpPortSlots[0].holderIP, "127.0.10.21");
    EXPECT_STREQ(g_rtpPortSlots[1].holderIP, "127.0.10.22");
    EXPECT_EQ(g_rtpPortSlots[1].acquiredTick, 1000u);
    EXPECT_EQ(RTPportFind("127.0.10.23"), -1);
}

TEST_F(PortSlots, FindMatchesTheWholeAddressAndReturnsTheFirstHeldSlot) {
    ASSERT_EQ(Create(7000, 7004), 1);
    EXPECT_EQ(RTPportAcquire("10.0.0.12", 0), 7000);
    EXPECT_EQ(RTPportAcquire("10.0.0.5", 0), 7001);
    EXPECT_EQ(RTPportAcquire("10.0.0.5", 0), 7002);
    EXPECT_EQ(RTPportFind("10.0.0.1"), -1);
    EXPECT_EQ(RTPportFind("10.0.0.12"), 7000);
    EXPECT_EQ(RTPportFind("10.0.0.5"), 7001);
    EXPECT_EQ(RTPportRelease(7001), 1);
    EXPECT_EQ(RTPportFind("10.0.0.5"), 7002) << "a released slot is not found although it keeps its holder";
}

TEST_F(PortSlots, ReleaseAnswersByPortWhetherHeldOrNot) {
    ASSERT_EQ(Create(5000, 5009), 1);
    EXPECT_EQ(RTPportRelease(5004), 1);
    EXPECT_EQ(RTPportRelease(4999), 0);
    EXPECT_EQ(RTPportRelease(5010), 0);
    EXPECT_EQ(HeldSlots(), 0);
}

TEST_F(PortSlots, EqualEndsGiveOneSlot) {
    ASSERT_EQ(Create(20480, 20480), 1);
    ASSERT_EQ(g_rtpPortSlotCount, 1);
    EXPECT_EQ(RTPportAcquire("127.0.10.21", 0), 20480);
    EXPECT_EQ(RTPportAcquire("127.0.10.22", 0), 0);
}

TEST_F(PortSlots, PortZeroIsASlotButNeverHandedOut) {
    // Both range values empty: one slot for port 0, which no broadcast can use.
    ASSERT_EQ(Create(0, 0), 1);
    ASSERT_EQ(g_rtpPortSlotCount, 1);
    EXPECT_EQ(g_rtpPortSlots[0].port, 0);
    EXPECT_EQ(RTPportAcquire("127.0.10.21", 0), 0);
    EXPECT_EQ(HeldSlots(), 0);
    EXPECT_EQ(RTPportFind("127.0.10.21"), -1);

    ASSERT_EQ(Create(0, 2), 1);
    EXPECT_EQ(RTPportAcquire("127.0.10.21", 0), 1);
    EXPECT_EQ(RTPportAcquire("127.0.10.22", 0), 2);
    EXPECT_EQ(RTPportAcquire("127.0.10.23", 0), 0);
    EXPECT_EQ(g_rtpPortSlots[0].inUse, 0u);
}

TEST_F(PortSlots, PortsOutsideTheUdpRangeAreNeverHandedOut) {
    ASSERT_EQ(Create(65535, 65537), 1);
    EXPECT_EQ(RTPportAcquire("127.0.10.21", 0), 65535);
    EXPECT_EQ(RTPportAcquire("127.0.10.22", 0), 0);
    ASSERT_EQ(Create(-2, 1), 1);
    EXPECT_EQ(RTPportAcquire("127.0.10.21", 0), 1);
}

TEST_F(PortSlots, ReversedRangeHasNoTableAndEveryOperationSaysNone) {
    ASSERT_EQ(Create(5009, 5005), 1);
    EXPECT_EQ(g_rtpPortSlotCount, -3);
    EXPECT_EQ(g_rtpPortSlots, nullptr);
    EXPECT_EQ(RTPportAcquire("127.0.10.21", 0), 0);
    EXPECT_EQ(RTPportFind("127.0.10.21"), -1);
    EXPECT_EQ(RTPportRelease(5005), 0);
    EXPECT_EQ(RTPportSweep(1, nullptr), 0);
    EXPECT_EQ(Console(), "");
}

TEST_F(PortSlots, RangeOverEveryUdpPortIsACreationFailure) {
    EXPECT_EQ(Create(1, 65537), 0);
    EXPECT_EQ(g_rtpPortSlotCount, 0);
    EXPECT_EQ(g_rtpPortSlots, nullptr);
    EXPECT_EQ(RTPportAcquire("127.0.10.21", 0), 0);
    EXPECT_EQ(Create(INT_MIN, INT_MAX), 0);
    EXPECT_EQ(g_rtpPortSlotCount, 0);
    EXPECT_EQ(Console(), "Error allocating memory from heap!\r\nError allocating memory from heap!\r\n");
    // Each failure sounds the server's low alarm: a short tone, then a long low one.
    const std::vector<std::pair<DWORD, DWORD>> alarm{{300, 100}, {100, 3000}, {300, 100}, {100, 3000}};
    EXPECT_EQ(g_beeps, alarm);
}

TEST_F(PortSlots, EveryUdpPortFitsTheTable) {
    ASSERT_EQ(Create(0, 65535), 1);
    EXPECT_EQ(g_rtpPortSlotCount, 65536);
    EXPECT_EQ(g_rtpPortSlots[65535].port, 65535);
    EXPECT_EQ(RTPportAcquire("127.0.10.21", 0), 1);
}

TEST_F(PortSlots, SweepFreesOnlySlotsOlderThanTheMaximumDuration) {
    ASSERT_EQ(Create(5000, 5002), 1);
    g_fakeTick = 1000;
    RTPportAcquire("127.0.10.21", 0);
    g_fakeTick = 61000;
    RTPportAcquire("127.0.10.22", 0);

    g_fakeTick = 1000 + 5 * 60000;  // exactly five minutes: not yet exceeded
    EXPECT_EQ(RTPportSweep(5, nullptr), 0);
    g_fakeTick += 1;
    EXPECT_EQ(RTPportSweep(5, nullptr), 1);
    EXPECT_EQ(g_rtpPortSlots[0].inUse, 0u);
    EXPECT_EQ(g_rtpPortSlots[1].inUse, 1u);
    EXPECT_EQ(RTPportFind("127.0.10.21"), -1);
    EXPECT_EQ(RTPportFind("127.0.10.22"), 5001);
    EXPECT_EQ(Console().find("Tick count exceeded.  Freeing RTP port availability...\r\n") != std::string::npos, true);
}

namespace {

// What the table looks like to the server thread while the sweep ends an expired broadcast.
struct WhileEnding {
    ExpiredBroadcast broadcast{};
    int holderFinds = 0;
    int newBroadcastGets = 0;
    int releaseAnswers = 0;
    DWORD slotInUse = 0;
};
WhileEnding g_whileEnding;

void LookWhileEnding(const ExpiredBroadcast& broadcast) {
    g_whileEnding.broadcast = broadcast;
    g_whileEnding.holderFinds = RTPportFind(broadcast.holderIP);
    g_whileEnding.newBroadcastGets = RTPportAcquire("127.0.10.23", 1);
    g_whileEnding.releaseAnswers = RTPportRelease(broadcast.port);  // a stop racing the sweep
    g_whileEnding.slotInUse = g_rtpPortSlots[0].inUse;
}

}  // namespace

TEST_F(PortSlots, SweptPortStaysTakenUntilItsBroadcastHasBeenEnded) {
    ASSERT_EQ(Create(5000, 5001), 1);
    ASSERT_EQ(RTPportAcquire("127.0.10.21", 2), 5000);
    g_fakeTick = 1000 + 60001;
    g_whileEnding = WhileEnding();
    EXPECT_EQ(RTPportSweep(1, LookWhileEnding), 1);

    EXPECT_EQ(g_whileEnding.broadcast.port, 5000);
    EXPECT_STREQ(g_whileEnding.broadcast.holderIP, "127.0.10.21");
    EXPECT_EQ(g_whileEnding.broadcast.zone, 2);
    // Neither the holder's stop nor a new broadcast gets the port, and a release leaves it taken.
    EXPECT_EQ(g_whileEnding.holderFinds, -1);
    EXPECT_EQ(g_whileEnding.newBroadcastGets, 5001);
    EXPECT_EQ(g_whileEnding.releaseAnswers, 1);
    EXPECT_EQ(g_whileEnding.slotInUse, 1u);
    // Once it has been ended, the port is free.
    EXPECT_EQ(g_rtpPortSlots[0].inUse, 0u);
    EXPECT_EQ(RTPportAcquire("127.0.10.24", 0), 5000);
}

TEST_F(PortSlots, ZeroOrNegativeDurationNeverSweeps) {
    ASSERT_EQ(Create(5000, 5001), 1);
    RTPportAcquire("127.0.10.21", 0);
    g_fakeTick = 0xFFFFFFF0u;
    EXPECT_EQ(RTPportSweep(0, nullptr), 0);
    EXPECT_EQ(RTPportSweep(-5, nullptr), 0);
    EXPECT_EQ(HeldSlots(), 1);
}

TEST_F(PortSlots, SweepAgeSurvivesTheTickCountWrap) {
    ASSERT_EQ(Create(5000, 5001), 1);
    g_fakeTick = 0xFFFFFF00u;
    RTPportAcquire("127.0.10.21", 0);
    g_fakeTick = 0x00000100u;  // 512 ms later, after the wrap
    EXPECT_EQ(RTPportSweep(1, nullptr), 0);
    g_fakeTick = 0xFFFFFF00u + 60001u;  // wraps to a small number
    EXPECT_EQ(RTPportSweep(1, nullptr), 1);
}

TEST_F(PortSlots, LongDurationsDoNotOverflowIntoAnEarlySweep) {
    ASSERT_EQ(Create(5000, 5001), 1);
    RTPportAcquire("127.0.10.21", 0);
    g_fakeTick = 1000 + 0x7FFFFFFFu;  // about 24.8 days later
    EXPECT_EQ(RTPportSweep(INT_MAX, nullptr), 0);
    EXPECT_EQ(RTPportSweep(71582, nullptr), 0);  // 71582 minutes is just under the tick count's range
    EXPECT_EQ(RTPportSweep(35000, nullptr), 1);
}

TEST_F(PortSlots, ConcurrentAcquisitionsNeverShareAPort) {
    ASSERT_EQ(Create(10000, 10199), 1);
    std::vector<int> ports[4];
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &ports] {
            const std::string ip = "127.0.10." + std::to_string(30 + t);
            for (int i = 0; i < 50; ++i) ports[t].push_back(RTPportAcquire(ip.c_str(), 0));
        });
    }
    for (std::thread& t : threads) t.join();
    std::set<int> all;
    for (const auto& p : ports) all.insert(p.begin(), p.end());
    EXPECT_EQ(all.size(), 200u);
    EXPECT_EQ(*all.begin(), 10000);
    EXPECT_EQ(*all.rbegin(), 10199);
    EXPECT_EQ(HeldSlots(), 200);
}

TEST_F(PortSlots, HolderAddressIsBoundedToItsField) {
    ASSERT_EQ(Create(5000, 5001), 1);
    EXPECT_EQ(RTPportAcquire("123.123.123.123.999", 0), 5000);
    EXPECT_STREQ(g_rtpPortSlots[0].holderIP, "123.123.123.123");
    EXPECT_EQ(g_rtpPortSlots[1].port, 5001) << "the next slot is untouched";
}
