#include "service/broadcast.h"

#include <cstdio>
#include <iterator>
#include <memory>
#include <new>

#include "common/text.h"
#include "service/console_log.h"
#include "service/event_log.h"
#include "service/port_slots.h"
#include "service/push_client.h"
#include "service/server_beep.h"
#include "service/settings.h"
#include "service/zone_targets.h"

namespace {

std::unique_ptr<BroadcastJob> MakeJob(DWORD mode, const wchar_t* phoneIP, DWORD port, const wchar_t* zoneName) {
    std::unique_ptr<BroadcastJob> job(new (std::nothrow) BroadcastJob());
    if (!job) return job;
    job->mode = mode;
    CopyBounded(job->phoneIP, std::size(job->phoneIP), phoneIP);
    CopyBounded(job->multicastIP, std::size(job->multicastIP), wzMulticastTargetIP);
    job->port = port;
    CopyBounded(job->username, std::size(job->username), wzMulticastUsername);
    CopyBounded(job->password, std::size(job->password), wzMulticastPassword);
    CopyBounded(job->messageText, std::size(job->messageText), wzMulticastMessageText);
    CopyBounded(job->alertSound, std::size(job->alertSound), wzMulticastAlertSound);
    CopyBounded(job->zoneName, std::size(job->zoneName), zoneName);
    return job;
}

void PrintZones() {
    for (int i = 0; i < g_zoneCount; ++i) {
        ConsolePrintf("ZONE: %s - Members: %s\r\n", NarrowLatin1(g_zoneTable[i].name).c_str(),
                      NarrowLatin1(g_zoneTable[i].members).c_str());
    }
}

// One member job per phone of the zone, in list order, after the initiator's.
void RunTargets(const ZoneRecord& zone, const char* initiatorIP, DWORD port, LPTHREAD_START_ROUTINE threadProc) {
    for (const ZoneTarget& target : FindZoneTargets(zone, initiatorIP)) {
        if (target.isRequester) {
            ServerBeep(500, 200);  // the initiator has its job already
        } else {
            wchar_t targetIP[16];
            WidenLatin1Into(targetIP, std::size(targetIP), g_phoneClients[target.client].ip);
            // A job that cannot be made or started is passed over: the others still get theirs.
            StartJobThread(threadProc, MakeJob(0, targetIP, port, L""));
        }
        ConsolePrintf(".");
    }
}

// The beeps and the event. The port is -1 when no slot tells it (a stop from a phone that
// holds none for the zone, as after a restart): the event then names the multicast address
// alone.
void ConfirmAction(DWORD eventId, const ZoneRecord& zone, int port, const wchar_t* initiatorIP) {
    ServerBeep(300, 100);
    ServerBeep(500, 100);
    ServerBeep(700, 100);
    wchar_t multicast[48];
    if (port >= 0) {
        swprintf(multicast, std::size(multicast), L"%ls:%d", wzMulticastTargetIP, port);
    } else {
        CopyBounded(multicast, std::size(multicast), wzMulticastTargetIP);
    }
    const wchar_t* strings[3] = {zone.name, multicast, initiatorIP};
    ReportServiceEvent(eventId, EVENTLOG_INFORMATION_TYPE, strings, 3);
}

// What every stop does once it knows the zone: the initiator stops transmitting, the members
// stop receiving and are cleared, then the beeps and the stop event.
void EndBroadcast(const ZoneRecord& zone, const char* initiatorIP, const wchar_t* initiatorIPw, int port) {
    const DWORD jobPort = port > 0 ? static_cast<DWORD>(port) : 0;
    StartJobThread(BroadcastStopThread, MakeJob(1, initiatorIPw, jobPort, L""));
    RunTargets(zone, initiatorIP, jobPort, BroadcastStopThread);
    ConfirmAction(MSG_BROADCAST_STOPPED, zone, port, initiatorIPw);
}

}  // namespace

void StartBroadcast(PhoneRequest* request) {
    PrintZones();
    ConsolePrintf("Received request for broadcasting to zone...");
    const int zone = FindRequestedZone(request->connection->Buffer);
    if (zone < 0) return;
    // 0: no free slot (no slot of port 0 is ever handed out). No reply: the phone may try again.
    const int port = RTPportAcquire(request->requesterIP, zone);
    if (port == 0) return;
    SendActionReply(request);
    const ZoneRecord& record = g_zoneTable[zone];
    StartJobThread(BroadcastStartThread, MakeJob(1, request->requesterIPw, static_cast<DWORD>(port), record.name));
    RunTargets(record, request->requesterIP, static_cast<DWORD>(port), BroadcastStartThread);
    ConfirmAction(MSG_BROADCAST_STARTED, record, port, request->requesterIPw);
}

int StopBroadcast(PhoneRequest* request) {
    PrintZones();
    ConsolePrintf("Received request for stopping broadcasting to zone...");
    const int zone = FindRequestedZone(request->connection->Buffer);
    if (zone < 0) {
        // A phone that holds a broadcast is answered, and its broadcast goes on.
        if (RTPportFind(request->requesterIP) == -1) return 0;
        SendActionReply(request);
        return 1;
    }
    // The broadcast that this phone started to this zone. A phone that holds none for it (the
    // service restarted during the page) still stops the zone's phones: nothing else can.
    const int port = RTPportFind(request->requesterIP, zone);
    SendActionReply(request);
    EndBroadcast(g_zoneTable[zone], request->requesterIP, request->requesterIPw, port);
    if (port != -1) RTPportRelease(port);
    return 1;
}

void EndExpiredBroadcast(const ExpiredBroadcast& broadcast) {
    if (broadcast.zone < 0 || broadcast.zone >= g_zoneCount) return;
    wchar_t holderIP[16];
    WidenLatin1Into(holderIP, std::size(holderIP), broadcast.holderIP);
    EndBroadcast(g_zoneTable[broadcast.zone], broadcast.holderIP, holderIP, broadcast.port);
}
