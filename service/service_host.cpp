#include "service/service_host.h"

CRITICAL_SECTION g_portSlotLock;
bool g_consoleMode = false;
