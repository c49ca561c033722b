#include "service/http_server.h"

#include <cstdio>
#include <cstring>

#include "common/text.h"
#include "service/console_log.h"
#include "service/event_log.h"
#include "service/request_handler.h"
#include "service/service_host.h"
#include "service/settings.h"

SOCKET_INFORMATION* g_connections[kMaxConnections];
DWORD g_connectionCount = 0;

namespace {

// One receive is one request; one byte of Buffer stays free so that the text handed to the
// handler is always terminated.
constexpr ULONG kReceiveBytes = sizeof(SOCKET_INFORMATION::Buffer) - 1;
constexpr int kListenBacklog = 5;
// How many receives of at most one Buffer (1 MiB in all) a connection's close reads away:
// more than any phone's request leaves unread, and a bound for a peer that keeps sending.
constexpr int kMaxDiscardReads = 128;

void SetNoDelay(SOCKET socket) {
    BOOL on = TRUE;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof(on));
}

void StopServiceItself() { ServiceCtrlHandler(SERVICE_CONTROL_STOP); }

void ReportNetworkError(int code) {
    wchar_t codeText[16];
    swprintf(codeText, 16, L"%d", code);
    const wchar_t* strings[] = {codeText};
    ReportServiceEvent(MSG_NETWORK_ERROR, EVENTLOG_ERROR_TYPE, strings, 1);
}

// The address and the port as configured (the whole number), then the strings' third part.
void ReportAddressEvent(DWORD eventId, WORD eventType, const wchar_t* third, WORD count) {
    wchar_t address[kAddressUnits];
    CopyBounded(address, kAddressUnits, httpServerIP);
    wchar_t port[16];
    swprintf(port, 16, L"%d", httpServerPort);
    const wchar_t* strings[] = {address, port, third};
    ReportServiceEvent(eventId, eventType, strings, count);
}

// Binds the configured address and port, listens and switches to non-blocking mode.
// Returns 0, or the error code of the step that failed after printing its line.
int StartListening(SOCKET listener) {
    char address[16];
    NarrowLatin1Into(address, sizeof(address), httpServerIP);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr(address);
    local.sin_port = htons(static_cast<u_short>(httpServerPort & 0xFFFF));

    if (bind(listener, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) == SOCKET_ERROR) {
        int error = WSAGetLastError();
        ConsolePrintf("Binding failed with error %d\n", error);
        return error;
    }
    if (listen(listener, kListenBacklog) == SOCKET_ERROR) {
        int error = WSAGetLastError();
        ConsolePrintf("listen failed with error %d\n", error);
        return error;
    }
    u_long nonBlocking = 1;
    if (ioctlsocket(listener, FIONBIO, &nonBlocking) == SOCKET_ERROR) {
        int error = WSAGetLastError();
        ConsolePrintf("ioctlsocket() failed \n");
        return error;
    }
    return 0;
}

// Receives once on the record at index and acts on the result: a connection that got its
// reply, was closed by the phone or failed leaves the table. True when it left.
bool ServeConnection(DWORD index) {
    SOCKET_INFORMATION* record = g_connections[index];
    memset(record->Buffer, 0, sizeof(record->Buffer));
    record->DataBuf.len = kReceiveBytes;
    record->DataBuf.buf = record->Buffer;
    DWORD received = 0;
    DWORD flags = 0;
    if (WSARecv(record->Socket, &record->DataBuf, 1, &received, &flags, nullptr, nullptr) == SOCKET_ERROR) {
        if (WSAGetLastError() == WSAEWOULDBLOCK) return false;
        ConsolePrintf("Receive failed with error\n");
        FreeSocketInformation(index);
        return true;
    }
    if (received != 0 && HandleHttpRequest(record) != 1) return false;
    FreeSocketInformation(index);
    return true;
}

// Serves every connection that the set marks, in table order; the record that moves down into
// an index after a removal is looked at there too.
void ServeMarked(const fd_set& readSet) {
    for (DWORD i = 0; i < g_connectionCount;) {
        if (FD_ISSET(g_connections[i]->Socket, &readSet) && ServeConnection(i)) continue;
        ++i;
    }
}

// Serves, without waiting, every connection whose request has arrived by now.
void ServeArrivedRequests() {
    fd_set readSet;
    FD_ZERO(&readSet);
    for (DWORD i = 0; i < g_connectionCount; ++i) FD_SET(g_connections[i]->Socket, &readSet);
    timeval now{0, 0};
    if (select(0, &readSet, nullptr, nullptr, &now) > 0) ServeMarked(readSet);
}

// Takes one pending connection into the table. When the table is full, the oldest
// connection gives way: phones send one request per connection, and idle connections must
// not lock every phone out of an emergency page. Requests that have arrived are served
// first, so the connection given up is never one whose phone has just sent its request.
void AcceptConnection(SOCKET listener) {
    if (g_connectionCount == kMaxConnections) ServeArrivedRequests();
    SOCKET accepted = accept(listener, nullptr, nullptr);
    if (accepted == INVALID_SOCKET) {
        int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) ConsolePrintf("accept() failed with error %d\n", error);
        return;
    }
    SetNoDelay(accepted);
    u_long nonBlocking = 1;
    if (ioctlsocket(accepted, FIONBIO, &nonBlocking) == SOCKET_ERROR) {
        ConsolePrintf("ioctlsocket() failed with error %d\n", WSAGetLastError());
    }
    if (CreateSocketInformation(accepted)) return;
    ConsolePrintf("CreateSocketInformation() failed.\r\n");
    if (g_connectionCount == kMaxConnections) {
        FreeSocketInformation(0);
        if (CreateSocketInformation(accepted)) return;
    }
    // No record (no memory): a socket that nobody serves would never be closed.
    closesocket(accepted);
}

void ServeOnePass(SOCKET listener) {
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(listener, &readSet);
    for (DWORD i = 0; i < g_connectionCount; ++i) FD_SET(g_connections[i]->Socket, &readSet);

    if (select(0, &readSet, nullptr, nullptr, nullptr) == SOCKET_ERROR)
        ConsolePrintf("select function returned with error %d\n", WSAGetLastError());

    // The requests that have arrived go before a newcomer, who may push the oldest out.
    ServeMarked(readSet);
    if (FD_ISSET(listener, &readSet)) AcceptConnection(listener);
}

// Ends a connection with its reply intact: the phone gets the end of the stream after the
// last byte, and request bytes that no receive took are read away first, since closing a
// socket with unread bytes resets the connection, and a reset may discard the reply that the
// phone has not read yet. Bytes still on their way after this meet a closed socket.
void CloseGracefully(SOCKET socket, char* scratch, int scratchBytes) {
    shutdown(socket, SD_SEND);
    for (int reads = 0; reads < kMaxDiscardReads; ++reads) {
        u_long pending = 0;
        if (ioctlsocket(socket, FIONREAD, &pending) == SOCKET_ERROR || pending == 0) break;
        const int wanted = pending < static_cast<u_long>(scratchBytes) ? static_cast<int>(pending) : scratchBytes;
        if (recv(socket, scratch, wanted, 0) <= 0) break;
    }
    closesocket(socket);
}

}  // namespace

DWORD WINAPI HttpServerThread(LPVOID) {
    WSADATA wsaData;
    int result = WSAStartup(0x0002, &wsaData);
    if (result != 0) {
        ConsolePrintf("WSAStartup() failed with error %d\n", result);
        WSACleanup();
        ReportNetworkError(result);
        StopServiceItself();
        return 0;
    }

    SOCKET listener = WSASocketW(AF_INET, SOCK_STREAM, 0, nullptr, 0, WSA_FLAG_OVERLAPPED);
    if (listener == INVALID_SOCKET) {
        int error = WSAGetLastError();
        ConsolePrintf("WSASocket() failed with error %d\n", error);
        ReportNetworkError(error);
        StopServiceItself();
        return 0;
    }
    SetNoDelay(listener);

    int listenError = StartListening(listener);
    if (listenError != 0) {
        wchar_t code[16];
        swprintf(code, 16, L"%d", listenError);
        ReportAddressEvent(MSG_BIND_ERROR, EVENTLOG_ERROR_TYPE, code, 3);
        closesocket(listener);
        StopServiceItself();
        return 0;
    }
    ReportAddressEvent(MSG_HTTP_SERVING, EVENTLOG_INFORMATION_TYPE, nullptr, 2);

    for (;;) ServeOnePass(listener);
}

int CreateSocketInformation(SOCKET socket) {
    if (g_connectionCount >= kMaxConnections) return 0;
    auto* record = static_cast<SOCKET_INFORMATION*>(GlobalAlloc(GPTR, sizeof(SOCKET_INFORMATION)));
    if (record == nullptr) {
        ConsolePrintf("GlobalAlloc() failed\n");
        return 0;
    }
    record->Socket = socket;
    record->PeerLength = sizeof(record->Peer);
    g_connections[g_connectionCount] = record;
    ConsolePrintf("Accepted socket: %d\n", static_cast<int>(g_connectionCount));

    getpeername(socket, reinterpret_cast<sockaddr*>(&record->Peer), &record->PeerLength);
    ConsolePrintf("Peer IP address: %s", inet_ntoa(record->Peer.sin_addr));
    ConsolePrintf(":%d\n", ntohs(record->Peer.sin_port));

    ++g_connectionCount;
    return 1;
}

void FreeSocketInformation(DWORD index) {
    if (index >= g_connectionCount) return;
    SOCKET_INFORMATION* record = g_connections[index];
    CloseGracefully(record->Socket, record->Buffer, static_cast<int>(sizeof(record->Buffer)));
    ConsolePrintf("Closing socket: %d\n", static_cast<int>(index));
    GlobalFree(record);
    for (DWORD i = index + 1; i < g_connectionCount; ++i) g_connections[i - 1] = g_connections[i];
    --g_connectionCount;
    g_connections[g_connectionCount] = nullptr;
}
