#include "service/phone_request.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "common/text.h"
#include "service/console_log.h"
#include "service/phone_xml.h"
#include "service/settings.h"
#include "service/socket_send.h"

namespace {

constexpr char kZoneMarker[] = "zone=";
constexpr char kArgumentEnd[] = " HTTP/1";
// A zone name has at most 255 characters, so a longer argument names no zone.
constexpr size_t kMaxZoneArgument = 255;

std::wstring FieldText(const wchar_t* field, size_t capacity) { return std::wstring(field, wcsnlen(field, capacity)); }

}  // namespace

// The reply is sent whole or not (a phone that is gone cannot be answered later either).
void SendPhoneReply(PhoneRequest* request, const char* header, const std::string& body) {
    SOCKET socket = request->connection->Socket;
    if (SendAll(socket, header, strlen(header))) SendAll(socket, body.data(), body.size());
    request->replied = true;
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
    SendPhoneReply(request, header, kServicesObject);
    ConsolePrintf("Sending the following:\r\n%s\r\n%s\r\n\r\n", header, kServicesObject);
}
