// Recognises the phones' requests, serves the zone menu, and answers start and stop requests.
#pragma once

#include "service/http_server.h"

// One request as the handler and the broadcast control see it.
struct PhoneRequest {
    SOCKET_INFORMATION* connection;
    bool replied;              // set by the first reply sent on the connection
    char requesterIP[16];      // the peer's dotted address, 8-bit
    wchar_t requesterIPw[16];  // the same, UTF-16
};

int HandleHttpRequest(SOCKET_INFORMATION* connection);
void SendZoneMenu(PhoneRequest* request);
int FindRequestedZone(const char* requestText);  // index in g_zoneTable, or -1
void SendActionReply(PhoneRequest* request);
