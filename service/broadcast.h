// Start and stop of a zone's broadcast: port slot, reply, one push job per phone, beeps, event.
#pragma once

#include "service/phone_request.h"

void StartBroadcast(PhoneRequest* request);
int StopBroadcast(PhoneRequest* request);  // 0 when the phone holds no port
