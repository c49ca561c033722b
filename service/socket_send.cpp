#include "service/socket_send.h"

#include <climits>

namespace {

// Waits until the socket can take more bytes; false when the time ran out or the wait failed.
bool WaitWritable(SOCKET socket, DWORD remainingMs) {
    fd_set writeSet;
    FD_ZERO(&writeSet);
    FD_SET(socket, &writeSet);
    timeval wait;
    wait.tv_sec = static_cast<long>(remainingMs / 1000);
    wait.tv_usec = static_cast<long>((remainingMs % 1000) * 1000);
    return select(0, nullptr, &writeSet, nullptr, &wait) > 0;
}

}  // namespace

bool SendAll(SOCKET socket, const char* data, size_t length, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    size_t sent = 0;
    while (sent < length) {
        size_t remaining = length - sent;
        int chunk = remaining > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(remaining);
        int result = send(socket, data + sent, chunk, 0);
        if (result > 0) {
            sent += static_cast<size_t>(result);
            continue;
        }
        if (result == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) return false;
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        if (!WaitWritable(socket, static_cast<DWORD>(deadline - now))) return false;
    }
    return true;
}
