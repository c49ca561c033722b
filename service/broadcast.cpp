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
void RunTargets(const ZoneRecord& zone, const PhoneRequest& request, DWORD port, LPTHREAD_START_ROUTINE threadProc) {
    for (const ZoneTarget& target : FindZoneTargets(zone, request.requesterIP)) {
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

void ConfirmAction(DWORD eventId, const ZoneRecord& zone, int port, const PhoneRequest& request) {
    ServerBeep(300, 100);
    ServerBeep(500, 100);
    ServerBeep(700, 100);
    wchar_t multicast[48];
    swprintf(multicast, std::size(multicast), L"%ls:%d", wzMulticastTargetIP, port);
    const wchar_t* strings[3] = {zone.name, multicast, request.requesterIPw};
    ReportServiceEvent(eventId, EVENTLOG_INFORMATION_TYPE, strings, 3);
}

}  // namespace

void StartBroadcast(PhoneRequest* request) {
    // 0: no free slot (no slot of port 0 is ever handed out). No reply: the phone may try again.
    const int port = RTPportAcquire(request->requesterIP);
    if (port == 0) return;
    PrintZones();
    ConsolePrintf("Received request for broadcasting to zone...");
    const int zone = FindRequestedZone(request->connection->Buffer);
    if (zone < 0) {
        RTPportRelease(port);
        return;
    }
    SendActionReply(request);
    const ZoneRecord& record = g_zoneTable[zone];
    StartJobThread(BroadcastStartThread, MakeJob(1, request->requesterIPw, static_cast<DWORD>(port), record.name));
    RunTargets(record, *request, static_cast<DWORD>(port), BroadcastStartThread);
    ConfirmAction(MSG_BROADCAST_STARTED, record, port, *request);
}

int StopBroadcast(PhoneRequest* request) {
    const int port = RTPportFind(request->requesterIP);
    if (port == -1) return 0;
    SendActionReply(request);
    PrintZones();
    ConsolePrintf("Received request for stopping broadcasting to zone...");
    const int zone = FindRequestedZone(request->connection->Buffer);
    if (zone < 0) return 1;  // answered; the broadcast goes on and its slot stays held
    const ZoneRecord& record = g_zoneTable[zone];
    StartJobThread(BroadcastStopThread, MakeJob(1, request->requesterIPw, static_cast<DWORD>(port), L""));
    RunTargets(record, *request, static_cast<DWORD>(port), BroadcastStopThread);
    ConfirmAction(MSG_BROADCAST_STOPPED, record, port, *request);
    RTPportRelease(port);
    return 1;
}
