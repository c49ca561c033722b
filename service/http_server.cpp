#include "service/http_server.h"

SOCKET_INFORMATION* g_connections[kMaxConnections];
DWORD g_connectionCount = 0;
DWORD WINAPI HttpServerThread(LPVOID) { return 0; }
