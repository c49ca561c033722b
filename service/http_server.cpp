#include "service/http_server.h"

DWORD WINAPI HttpServerThread(LPVOID) { return 0; }
