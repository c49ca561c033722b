#include "service/request_handler.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "common/text.h"
#include "service/broadcast.h"
#include "service/console_log.h"
#include "service/phone_xml.h"
#include "service/settings.h"
#include "service/socket_send.h"
#include "service/zone_menu.h"

namespace {

constexpr char kMenuRequest[] = "GET /qax.xml ";
constexpr char kStopRequest[] = "GET /qax.xml?action=broadcast_stop";
constexpr char kStartRequest[] = "GET /qax.xml?action=broadcast_start";

constexpr char kZoneMarker[] = "zone=";
constexpr char kArgumentEnd[] = " HTTP/1";
// A zone name has at most 255 characters, so a longer argument names no zone.
constexpr size_t kMaxZoneArgument = 255;

// Sends the header, then the body; the connection has its reply from here on, sent whole or
// not (a phone that is gone cannot be answered later either).
void SendReply(PhoneRequest* request, const char* header, const std::string& body) {
    SOCKET socket = request->connection->Socket;
    if (SendAll(socket, header, strlen(header))) SendAll(socket, body.data(), body.size());
    request->replied = true;
}

std::wstring FieldText(const wchar_t* field, size_t capacity) { return std::wstring(field, wcsnlen(field, capacity)); }

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
        // A stop from a phone that holds no broadcast ends the request: its start is not tried.
        if (StopBroadcast(&request) == 0) return request.replied ? 1 : 0;
    }
    if (strstr(text, kStartRequest) != nullptr) StartBroadcast(&request);
    return request.replied ? 1 : 0;
}

void SendZoneMenu(PhoneRequest* request) {
    if (request->replied) return;
    SendReply(request, kMenuHeader, BuildZoneMenu(g_zoneTable, g_zoneCount, httpServerIP, httpServerPort));
}

int FindRequestedZone(const char* requestText) {
    const char* marker = strstr(requestText, kZoneMarker);
    if (marker == nullptr) return -1;
    ConsolePrintf("Found begin zone marker...");
    ConsolePrintf("THIS: %s\r\n\r\n", marker);

    const char* begin = marker + strlen(kZoneMarker);
    const char* end = strstr(begin, kArgumentEnd);
    if (end == nullptr) return -1;
    const std::string argument(begin, static_cast<size_t>(end - begin));
    ConsolePrintf("Found zone target named: <%s>...", argument.c_str());

    int found = -1;
    if (argument.size() <= kMaxZoneArgument) {
        const std::wstring wanted = WidenLatin1(argument);
        for (int i = 0; i < g_zoneCount; ++i) {
            const ZoneRecord& zone = g_zoneTable[i];
            if (FieldText(zone.name, sizeof(zone.name) / sizeof(wchar_t)) != wanted) continue;
            ConsolePrintf("Found zone <%s> in array position %d...\r\n", argument.c_str(), i);
            ConsolePrintf("members of <%s>: %s\r\n", NarrowLatin1(wanted).c_str(),
                          NarrowLatin1(FieldText(zone.members, kZoneMembersUnits)).c_str());
            found = i;  // every zone is compared: the last equal name wins
        }
    }
    ConsolePrintf("continuing...");
    return found;
}

void SendActionReply(PhoneRequest* request) {
    if (request->replied) return;
    char header[256];
    snprintf(header, sizeof(header),
             "HTTP/1.1 200 OK\r\nContent-type: text/xml\r\nContent-Length: %d\r\nConnection: close\r\n\r\n",
             static_cast<int>(sizeof(kServicesObject) - 1));
    SendReply(request, header, kServicesObject);
    ConsolePrintf("Sending the following:\r\n%s\r\n%s\r\n\r\n", header, kServicesObject);
}
