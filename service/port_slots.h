// The multicast RTP port slots: one per port of the configured range, handed to the phone
// that starts a broadcast, found again by its address and zone when it stops, and swept
// when too old. Every operation but the table's creation takes g_portSlotLock.
#pragma once

#include <windows.h>

struct RtpPortSlot {
    int port;
    char holderIP[16];
    DWORD inUse;
    DWORD acquiredTick;
    int zone;  // index in g_zoneTable of the zone that the slot's broadcast pages
};

extern RtpPortSlot* g_rtpPortSlots;
extern int g_rtpPortSlotCount;

// The largest range the table accepts: every UDP port once.
inline constexpr long long kMaxPortSlots = 65536;

// Creates the table for the ports start..end (on the worker, before other threads exist).
// 1 when created or when the range is empty or reversed (no table); 0 when the range is
// over kMaxPortSlots ports or the table cannot be allocated.
int RTPportCreateTable(int start, int end);
void RTPportInitialize(int start);
// Claims the lowest free slot for the requester's broadcast to the zone and returns its port.
// 0 means that no port was handed out (every slot held, or no table): a slot whose port is
// not a usable UDP port (1 to 65535, so never port 0) is never claimed, so 0 can never be a
// claimed port.
int RTPportAcquire(const char* requesterIP, int zone);
int RTPportFind(const char* requesterIP);            // the port of the requester's first held slot, or -1
int RTPportFind(const char* requesterIP, int zone);  // ... of its first held slot for that zone, or -1
// 1 when a slot has that port (held or not), else 0. Frees it unless the sweep is ending its
// broadcast (the sweep frees it then).
int RTPportRelease(int port);

// What the sweep knows of a broadcast whose slot has grown too old: enough to end it.
struct ExpiredBroadcast {
    int port;
    char holderIP[16];
    int zone;
};
// Ends an expired broadcast (its stop pushes and event); runs on the sweep's thread without
// the slot lock. The slot is freed once it returns, so that its port is never handed to a
// new broadcast before the phones have been told to stop.
using ExpiredBroadcastHandler = void (*)(const ExpiredBroadcast& broadcast);

// One round of the sweep: ends (through endBroadcast, when given) and frees every held slot
// older than maxDurationMinutes; 0 or less never frees anything. Returns the number of slots
// freed.
int RTPportSweep(int maxDurationMinutes, ExpiredBroadcastHandler endBroadcast);
// The sweep every 60 seconds with MulticastMaxDuration and the handler set below, for the
// life of the process. The worker sets the handler before it starts the thread.
DWORD WINAPI RTPportExpiryThread(LPVOID parameter);
void SetExpiredBroadcastHandler(ExpiredBroadcastHandler handler);

// The millisecond clock of the slots (GetTickCount); tests put their own. nullptr restores it.
using PortSlotTickSource = DWORD (*)();
PortSlotTickSource SetPortSlotTickSource(PortSlotTickSource source);
