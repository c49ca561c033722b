// Recognises the phones' requests, serves the zone menu, and hands start and stop requests to
// the broadcast control.
#pragma once

#include "service/http_server.h"
#include "service/phone_request.h"

int HandleHttpRequest(SOCKET_INFORMATION* connection);
void SendZoneMenu(PhoneRequest* request);
