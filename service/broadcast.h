// Start and stop of a zone's broadcast: port slot, reply, one push job per phone, beeps, event.
#pragma once

#include "service/phone_request.h"
#include "service/port_slots.h"

void StartBroadcast(PhoneRequest* request);
int StopBroadcast(PhoneRequest* request);  // 0 when nothing was answered (the request ends there)
// Ends a broadcast whose slot the sweep takes back, as its initiator's stop would.
void EndExpiredBroadcast(const ExpiredBroadcast& broadcast);
