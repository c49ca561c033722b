// The phones' HTTP endpoint: the listening socket, the connection table, one receive per request.
#pragma once

#include <winsock2.h>
#include <windows.h>

// One accepted phone connection.
struct SOCKET_INFORMATION {
    char Buffer[8192];
    WSABUF DataBuf;
    SOCKET Socket;
    sockaddr_in Peer;
    int PeerLength;
};

inline constexpr DWORD kMaxConnections = 63;
extern SOCKET_INFORMATION* g_connections[kMaxConnections];
extern DWORD g_connectionCount;

DWORD WINAPI HttpServerThread(LPVOID parameter);
int CreateSocketInformation(SOCKET socket);
// Closes the connection at index gracefully (its reply reaches the phone whole, with no reset)
// and removes its record; later records move down one place.
void FreeSocketInformation(DWORD index);
