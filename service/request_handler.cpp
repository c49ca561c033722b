#include "service/request_handler.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/text.h"
#include "service/broadcast.h"
#include "service/console_log.h"
#include "service/settings.h"
#include "service/zone_menu.h"

namespace {

constexpr char kMenuRequest[] = "GET /qax.xml ";
constexpr char kStopRequest[] = "GET /qax.xml?action=broadcast_stop";
constexpr char kStartRequest[] = "GET /qax.xml?action=broadcast_start";

}  // namespace

int HandleHttpRequest(SOCKET_INFORMATION* connection) {
    ConsolePrintf("%s", connection->Buffer);

    PhoneRequest request{};
    request.connection = connection;
    request.replied = false;
    CopyBounded(request.requesterIP, sizeof(request.requesterIP), inet_ntoa(connection->Peer.sin_addr));
    WidenLatin1Into(request.requesterIPw, sizeof(request.requesterIPw) / sizeof(wchar_t), request.requesterIP);

    const char* text = connection->Buffer;
    if (strstr(text, kMenuRequest) != nullptr) SendZoneMenu(&request);
    if (strstr(text, kStopRequest) != nullptr) {
        // A stop left unanswered (no zone named, no broadcast held) ends the request: its start
        // is not tried.
        if (StopBroadcast(&request) == 0) return request.replied ? 1 : 0;
    }
    if (strstr(text, kStartRequest) != nullptr) StartBroadcast(&request);
    return request.replied ? 1 : 0;
}

void SendZoneMenu(PhoneRequest* request) {
    if (request->replied) return;
    SendPhoneReply(request, kMenuHeader, BuildZoneMenu(g_zoneTable, g_zoneCount, httpServerIP, httpServerPort));
}

