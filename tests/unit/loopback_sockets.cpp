#include "loopback_sockets.h"

#include "common/text.h"

namespace {

sockaddr_in Address(const char* dotted, u_short port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = inet_addr(dotted);
    a.sin_port = htons(port);
    return a;
}

bool WaitReadable(SOCKET socket, int waitMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
}

}  // namespace

OwnedSocket ListenOnFreePort(u_short* port) {
    OwnedSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in local = Address(kServiceAddress, 0);
    bind(listener.get(), reinterpret_cast<sockaddr*>(&local), sizeof(local));
    listen(listener.get(), 70);
    int length = sizeof(local);
    getsockname(listener.get(), reinterpret_cast<sockaddr*>(&local), &length);
    *port = ntohs(local.sin_port);
    return listener;
}

PhoneConnection ConnectPhone(SOCKET listener, u_short port, const char* sourceAddress) {
    PhoneConnection c;
    c.phone = OwnedSocket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in source = Address(sourceAddress, 0);
    bind(c.phone.get(), reinterpret_cast<sockaddr*>(&source), sizeof(source));
    sockaddr_in service = Address(kServiceAddress, port);
    connect(c.phone.get(), reinterpret_cast<sockaddr*>(&service), sizeof(service));
    c.accepted = OwnedSocket(accept(listener, nullptr, nullptr));
    u_long nonBlocking = 1;
    ioctlsocket(c.accepted.get(), FIONBIO, &nonBlocking);
    return c;
}

std::unique_ptr<SOCKET_INFORMATION> ReceivedRecord(SOCKET accepted, const std::string& request) {
    auto record = std::make_unique<SOCKET_INFORMATION>();
    *record = SOCKET_INFORMATION{};
    record->Socket = accepted;
    record->PeerLength = sizeof(record->Peer);
    getpeername(accepted, reinterpret_cast<sockaddr*>(&record->Peer), &record->PeerLength);
    CopyBounded(record->Buffer, sizeof(record->Buffer), request.c_str());
    return record;
}

std::string ReceiveAll(SOCKET socket, int quietMs) {
    std::string text;
    char chunk[65536];
    while (WaitReadable(socket, quietMs)) {
        int n = recv(socket, chunk, sizeof(chunk), 0);
        if (n <= 0) break;
        text.append(chunk, static_cast<size_t>(n));
    }
    return text;
}

bool PeerClosed(SOCKET socket, int waitMs) {
    if (!WaitReadable(socket, waitMs)) return false;
    char byte;
    return recv(socket, &byte, 1, 0) <= 0;
}
