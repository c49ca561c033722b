#include "service/broadcast.h"

void StartBroadcast(PhoneRequest*) {}
int StopBroadcast(PhoneRequest*) { return 0; }
