// Sending a whole reply on a phone's connection. Accepted sockets are non-blocking, so one
// send may take only part of a text while the phone reads slowly.
#pragma once

#include <winsock2.h>

#include <cstddef>

// How long one text may take to leave in all: the server thread serves no other phone
// meanwhile, so a phone that stops reading must not hold it for longer.
inline constexpr DWORD kSendTimeoutMs = 5000;

// Sends every byte of the text, waiting for room in the socket while the peer reads.
// Returns true when all was sent; false after an error other than WSAEWOULDBLOCK or when the
// time ran out.
bool SendAll(SOCKET socket, const char* data, size_t length, DWORD timeoutMs = kSendTimeoutMs);
