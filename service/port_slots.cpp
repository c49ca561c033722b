#include "service/port_slots.h"

#include <climits>
#include <cstring>
#include <vector>

#include "common/text.h"
#include "service/console_log.h"
#include "service/server_beep.h"
#include "service/service_host.h"
#include "service/settings.h"

RtpPortSlot* g_rtpPortSlots = nullptr;
int g_rtpPortSlotCount = 0;

namespace {

HANDLE g_portSlotHeap = nullptr;
PortSlotTickSource g_tickSource = nullptr;
ExpiredBroadcastHandler g_expiredBroadcastHandler = nullptr;

constexpr DWORD kSweepIntervalMs = 60000;
constexpr unsigned long long kMsPerMinute = 60000;

DWORD Now() { return g_tickSource != nullptr ? g_tickSource() : GetTickCount(); }

class SlotLock {
public:
    SlotLock() { EnterCriticalSection(&g_portSlotLock); }
    ~SlotLock() { LeaveCriticalSection(&g_portSlotLock); }
    SlotLock(const SlotLock&) = delete;
    SlotLock& operator=(const SlotLock&) = delete;
};

// The table is made once per process; a second creation (tests) gives the first one back.
void DropTable() {
    if (g_portSlotHeap != nullptr) HeapDestroy(g_portSlotHeap);
    g_portSlotHeap = nullptr;
    g_rtpPortSlots = nullptr;
}

int FailCreation(const char* message) {
    ConsolePrintf("%s", message);
    ServerBeep(300, 100);
    ServerBeep(100, 3000);
    DropTable();
    g_rtpPortSlotCount = 0;
    return 0;
}

bool IsUsablePort(int port) { return port >= 1 && port <= 65535; }

constexpr int kAnyZone = -1;

// The port of the first held slot of the requester (for the zone, unless kAnyZone), or -1. A
// slot that the sweep is ending has no holder, so no phone finds it.
int FindHeldSlot(const char* requesterIP, int zone) {
    if (requesterIP == nullptr || requesterIP[0] == '\0') return -1;
    SlotLock lock;
    for (int i = 0; i < g_rtpPortSlotCount && g_rtpPortSlots != nullptr; ++i) {
        const RtpPortSlot& slot = g_rtpPortSlots[i];
        if (slot.inUse == 0 || strcmp(slot.holderIP, requesterIP) != 0) continue;
        if (zone == kAnyZone || slot.zone == zone) return slot.port;
    }
    return -1;
}

struct SweptSlot {
    int index;
    ExpiredBroadcast broadcast;
};

// Takes every held slot older than the maximum age from its holder: the slot stays held, by
// no phone, so that it is neither handed out nor found by a stop while its broadcast ends.
std::vector<SweptSlot> TakeExpiredSlots(unsigned long long maxAgeMs) {
    std::vector<SweptSlot> swept;
    SlotLock lock;
    const DWORD now = Now();
    for (int i = 0; i < g_rtpPortSlotCount && g_rtpPortSlots != nullptr; ++i) {
        RtpPortSlot& slot = g_rtpPortSlots[i];
        // Unsigned 32-bit age: the tick count's wrap after 49.7 days does no harm.
        const DWORD age = now - slot.acquiredTick;
        if (slot.inUse == 0 || slot.holderIP[0] == '\0' || age <= maxAgeMs) continue;
        ConsolePrintf("Tick count exceeded.  Freeing RTP port availability...\r\n");
        SweptSlot entry{i, {slot.port, {}, slot.zone}};
        CopyBounded(entry.broadcast.holderIP, sizeof entry.broadcast.holderIP, slot.holderIP);
        slot.holderIP[0] = '\0';
        swept.push_back(entry);
    }
    return swept;
}

void FreeSweptSlots(const std::vector<SweptSlot>& swept) {
    SlotLock lock;
    for (const SweptSlot& entry : swept) {
        if (g_rtpPortSlots != nullptr && entry.index < g_rtpPortSlotCount) g_rtpPortSlots[entry.index].inUse = 0;
    }
}

}  // namespace

int RTPportCreateTable(int start, int end) {
    DropTable();
    const long long count = static_cast<long long>(end) - start + 1;
    if (count <= 0) {
        g_rtpPortSlotCount = count < INT_MIN ? INT_MIN : static_cast<int>(count);
        return 1;
    }
    if (count > kMaxPortSlots) return FailCreation("Error allocating memory from heap!\r\n");

    const SIZE_T bytes = static_cast<SIZE_T>(count) * sizeof(RtpPortSlot);
    g_portSlotHeap = HeapCreate(0, bytes, 0);
    if (g_portSlotHeap == nullptr) return FailCreation("Error creating memory heap!\r\n");
    g_rtpPortSlots = static_cast<RtpPortSlot*>(HeapAlloc(g_portSlotHeap, HEAP_ZERO_MEMORY, bytes));
    if (g_rtpPortSlots == nullptr) return FailCreation("Error allocating memory from heap!\r\n");

    g_rtpPortSlotCount = static_cast<int>(count);
    ConsolePrintf("Memory allocated for %d ports.\r\n", g_rtpPortSlotCount);
    RTPportInitialize(start);
    for (int i = 0; i < g_rtpPortSlotCount; ++i) {
        ConsolePrintf("replaying...RTPportInitialize(): Slot %d is assigned with port: %d\r\n", i, g_rtpPortSlots[i].port);
    }
    return 1;
}

void RTPportInitialize(int start) {
    SlotLock lock;
    for (int i = 0; i < g_rtpPortSlotCount && g_rtpPortSlots != nullptr; ++i) {
        g_rtpPortSlots[i].inUse = 0;
        // The creation bounds the range, so start + i never passes the range's end.
        g_rtpPortSlots[i].port = start + i;
        ConsolePrintf("RTPportInitialize(): Slot %d now assigned with port: %d\r\n", i, g_rtpPortSlots[i].port);
    }
}

int RTPportAcquire(const char* requesterIP, int zone) {
    SlotLock lock;
    for (int i = 0; i < g_rtpPortSlotCount && g_rtpPortSlots != nullptr; ++i) {
        ConsolePrintf("Checking slot %d...", i);
        RtpPortSlot& slot = g_rtpPortSlots[i];
        if (slot.inUse != 0 || !IsUsablePort(slot.port)) continue;
        slot.inUse = 1;
        CopyBounded(slot.holderIP, sizeof slot.holderIP, requesterIP);
        slot.acquiredTick = Now();
        slot.zone = zone;
        ConsolePrintf("RTPportAcquire(): Slot %d now assigned / Returning port: %d\r\n", i, slot.port);
        return slot.port;
    }
    return 0;
}

int RTPportFind(const char* requesterIP) { return FindHeldSlot(requesterIP, kAnyZone); }

int RTPportFind(const char* requesterIP, int zone) { return FindHeldSlot(requesterIP, zone); }

int RTPportRelease(int port) {
    SlotLock lock;
    for (int i = 0; i < g_rtpPortSlotCount && g_rtpPortSlots != nullptr; ++i) {
        RtpPortSlot& slot = g_rtpPortSlots[i];
        if (slot.port != port) continue;
        // A held slot without a holder is the sweep's: it frees the slot once the broadcast
        // has been ended, and not before.
        if (!(slot.inUse != 0 && slot.holderIP[0] == '\0')) slot.inUse = 0;
        return 1;
    }
    return 0;
}

int RTPportSweep(int maxDurationMinutes, ExpiredBroadcastHandler endBroadcast) {
    if (maxDurationMinutes <= 0) return 0;
    const unsigned long long maxAgeMs = static_cast<unsigned long long>(maxDurationMinutes) * kMsPerMinute;
    const std::vector<SweptSlot> swept = TakeExpiredSlots(maxAgeMs);
    // Without the lock: ending a broadcast starts threads and reports an event.
    if (endBroadcast != nullptr) {
        for (const SweptSlot& entry : swept) endBroadcast(entry.broadcast);
    }
    FreeSweptSlots(swept);
    return static_cast<int>(swept.size());
}

DWORD WINAPI RTPportExpiryThread(LPVOID) {
    for (;;) {
        RTPportSweep(MulticastMaxDuration, g_expiredBroadcastHandler);
        Sleep(kSweepIntervalMs);
    }
}

void SetExpiredBroadcastHandler(ExpiredBroadcastHandler handler) { g_expiredBroadcastHandler = handler; }

PortSlotTickSource SetPortSlotTickSource(PortSlotTickSource source) {
    PortSlotTickSource previous = g_tickSource;
    g_tickSource = source;
    return previous;
}
