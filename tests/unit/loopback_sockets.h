// Loopback socket pairs for tests of the phone endpoint: a phone's end bound to its own
// source address, and the service's accepted end, as the connection server would hold it.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "service/http_server.h"

// The addresses of these tests: the service side and the phones' sources.
inline constexpr char kServiceAddress[] = "127.0.20.1";

class WinsockSession {
public:
    WinsockSession() { WSAStartup(MAKEWORD(2, 2), &data_); }
    ~WinsockSession() { WSACleanup(); }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

private:
    WSADATA data_;
};

class OwnedSocket {
public:
    OwnedSocket() = default;
    explicit OwnedSocket(SOCKET s) : socket_(s) {}
    ~OwnedSocket() { reset(); }
    OwnedSocket(OwnedSocket&& other) noexcept : socket_(other.release()) {}
    OwnedSocket& operator=(OwnedSocket&& other) noexcept {
        if (this != &other) {
            reset();
            socket_ = other.release();
        }
        return *this;
    }
    SOCKET get() const { return socket_; }
    SOCKET release() {
        SOCKET s = socket_;
        socket_ = INVALID_SOCKET;
        return s;
    }
    void reset() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }

private:
    SOCKET socket_ = INVALID_SOCKET;
};

// A listening socket on the service address and a port that the system picks.
OwnedSocket ListenOnFreePort(u_short* port);

// One connection: the phone's end (client) from sourceAddress, and the accepted end, made
// non-blocking like the server's.
struct PhoneConnection {
    OwnedSocket phone;
    OwnedSocket accepted;
};
PhoneConnection ConnectPhone(SOCKET listener, u_short port, const char* sourceAddress);

// The record of a connection as the server holds it after one receive: the accepted socket
// (still owned by the caller), its peer, and the request text in Buffer.
std::unique_ptr<SOCKET_INFORMATION> ReceivedRecord(SOCKET accepted, const std::string& request);

// Everything the peer sends until it closes, or until nothing more comes for quietMs.
std::string ReceiveAll(SOCKET socket, int quietMs);

// True when the peer has closed the connection (a read returns end of stream or a reset)
// within waitMs.
bool PeerClosed(SOCKET socket, int waitMs);

// A phone's push interface on port 80 of its own loopback address: records the body of every
// POST in arrival order and answers each with the phones' success object, on connections
// that stay open for further pushes as a phone's do.
class PushRecorder {
public:
    explicit PushRecorder(const char* address);
    ~PushRecorder();
    PushRecorder(const PushRecorder&) = delete;
    PushRecorder& operator=(const PushRecorder&) = delete;

    // False when port 80 of the address could not be taken (another listener, no rights).
    bool listening() const { return listening_; }
    // The bodies received, once there are at least `count` or waitMs have passed.
    std::vector<std::string> WaitForBodies(size_t count, int waitMs);

private:
    void Serve();
    // Answers every whole request at the front of `pending`; false when the peer is gone.
    bool AnswerRequests(SOCKET connection, std::string* pending);

    OwnedSocket listener_;
    bool listening_ = false;
    std::atomic<bool> closing_{false};
    std::mutex lock_;
    std::condition_variable received_;
    std::vector<std::string> bodies_;
    std::thread server_;
};
