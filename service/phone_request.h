// One phone request as the handler and the broadcast control both see it: the requesting
// phone, the one reply its connection may get, and the zone that the request names.
#pragma once

#include <string>

#include "service/http_server.h"

struct PhoneRequest {
    SOCKET_INFORMATION* connection;
    bool replied;              // set by the first reply sent on the connection
    char requesterIP[16];      // the peer's dotted address, 8-bit
    wchar_t requesterIPw[16];  // the same, UTF-16
};

// Sends the header, then the body; the connection has its reply from here on.
void SendPhoneReply(PhoneRequest* request, const char* header, const std::string& body);
int FindRequestedZone(const char* requestText);  // index in g_zoneTable, or -1
void SendActionReply(PhoneRequest* request);
