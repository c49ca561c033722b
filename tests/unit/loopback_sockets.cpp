#include "loopback_sockets.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

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

namespace {

constexpr char kPhoneAnswer[] =
    "<CiscoIPPhoneResponse><ResponseItem Status=\"0\" Data=\"Success\" URL=\"\"/></CiscoIPPhoneResponse>";

size_t ContentLength(const std::string& headers) {
    const char* names[] = {"Content-Length:", "content-length:", "Content-length:"};
    for (const char* name : names) {
        size_t at = headers.find(name);
        if (at != std::string::npos) return static_cast<size_t>(strtoul(headers.c_str() + at + strlen(name), nullptr, 10));
    }
    return 0;
}

}  // namespace

PushRecorder::PushRecorder(const char* address) : listener_(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
    BOOL reuse = TRUE;
    setsockopt(listener_.get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    sockaddr_in local = Address(address, 80);
    listening_ = bind(listener_.get(), reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0 &&
                 listen(listener_.get(), 16) == 0;
    server_ = std::thread([this] { Serve(); });
}

PushRecorder::~PushRecorder() {
    closing_ = true;
    server_.join();
}

std::vector<std::string> PushRecorder::WaitForBodies(size_t count, int waitMs) {
    std::unique_lock<std::mutex> lock(lock_);
    received_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return bodies_.size() >= count; });
    return bodies_;
}

bool PushRecorder::AnswerRequests(SOCKET connection, std::string* pending) {
    for (;;) {
        const size_t headersEnd = pending->find("\r\n\r\n");
        if (headersEnd == std::string::npos) return true;
        const size_t bodyStart = headersEnd + 4;
        const size_t length = ContentLength(pending->substr(0, bodyStart));
        if (pending->size() < bodyStart + length) return true;
        {
            std::lock_guard<std::mutex> lock(lock_);
            bodies_.push_back(pending->substr(bodyStart, length));
        }
        received_.notify_all();
        pending->erase(0, bodyStart + length);
        const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                                   std::to_string(sizeof(kPhoneAnswer) - 1) + "\r\n\r\n" + kPhoneAnswer;
        if (send(connection, answer.data(), static_cast<int>(answer.size()), 0) != static_cast<int>(answer.size())) {
            return false;
        }
    }
}

void PushRecorder::Serve() {
    std::vector<std::pair<OwnedSocket, std::string>> connections;
    while (!closing_) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener_.get(), &readable);
        for (auto& c : connections) FD_SET(c.first.get(), &readable);
        timeval wait{0, 50000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
        for (size_t i = connections.size(); i-- > 0;) {
            if (!FD_ISSET(connections[i].first.get(), &readable)) continue;
            char chunk[8192];
            const int n = recv(connections[i].first.get(), chunk, sizeof chunk, 0);
            if (n > 0) connections[i].second.append(chunk, static_cast<size_t>(n));
            if (n <= 0 || !AnswerRequests(connections[i].first.get(), &connections[i].second)) {
                connections.erase(connections.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        if (FD_ISSET(listener_.get(), &readable) && connections.size() < 60) {
            OwnedSocket accepted(accept(listener_.get(), nullptr, nullptr));
            if (accepted.get() != INVALID_SOCKET) connections.emplace_back(std::move(accepted), std::string());
        }
    }
}
