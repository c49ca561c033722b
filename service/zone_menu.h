// The zone menu that a phone's service browser shows: a CiscoIPPhoneMenu with one item per
// zone, in table order, each item's URL starting a broadcast to that zone.
#pragma once

#include <string>

#include "common/config_store.h"

// The body may not pass this many bytes: a menu ends after the last whole item that fits.
inline constexpr size_t kMaxMenuBytes = 65535;

// The header of the menu reply: no Content-Length, the body ends where the connection ends.
inline constexpr char kMenuHeader[] = "HTTP/1.1 200 OK\r\nContent-type: text/xml\r\nConnection: close\r\n\r\n";

// Every item's URL starts with http:// and ServiceUrlHost(serverIP, serverPort).
std::string BuildZoneMenu(const ZoneRecord* zones, int zoneCount, const wchar_t* serverIP, int serverPort);
