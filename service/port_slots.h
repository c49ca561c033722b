// The multicast RTP port slots: one per port of the configured range, handed to the phone
// that starts a broadcast, found again by its address when it stops, and swept when too old.
// Every operation but the table's creation takes g_portSlotLock.
#pragma once

#include <windows.h>

struct RtpPortSlot {
    int port;
    char holderIP[16];
    DWORD inUse;
    DWORD acquiredTick;
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
// Claims the lowest free slot for the requester and returns its port. 0 means that no port
// was handed out (every slot held, or no table): a slot whose port is not a usable UDP port
// (1 to 65535, so never port 0) is never claimed, so 0 can never be a claimed port.
int RTPportAcquire(const char* requesterIP);
int RTPportFind(const char* requesterIP);  // the port of the requester's first held slot, or -1
int RTPportRelease(int port);              // 1 when a slot has that port (held or not), else 0

// One round of the sweep: frees every held slot older than maxDurationMinutes; 0 or less
// never frees anything. Returns the number of slots freed.
int RTPportSweep(int maxDurationMinutes);
// The sweep every 60 seconds with MulticastMaxDuration, for the life of the process.
DWORD WINAPI RTPportExpiryThread(LPVOID parameter);

// The millisecond clock of the slots (GetTickCount); tests put their own. nullptr restores it.
using PortSlotTickSource = DWORD (*)();
PortSlotTickSource SetPortSlotTickSource(PortSlotTickSource source);
