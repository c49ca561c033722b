// The multicast RTP port slots: one per port of the configured range, handed to the phone
// that starts a broadcast, found again by its address when it stops, and swept when too old.
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

int RTPportCreateTable(int start, int end);
void RTPportInitialize(int start);
int RTPportAcquire(const char* requesterIP);  // the port, or 0 when no slot is free
int RTPportFind(const char* requesterIP);     // the port, or -1
int RTPportRelease(int port);                 // 1 when a slot has that port
DWORD WINAPI RTPportExpiryThread(LPVOID parameter);
