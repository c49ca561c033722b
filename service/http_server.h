// The phones' HTTP endpoint: the listening socket, the connection table, one receive per request.
#pragma once

#include <winsock2.h>
#include <windows.h>

DWORD WINAPI HttpServerThread(LPVOID parameter);
