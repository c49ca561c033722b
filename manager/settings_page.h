// The Settings page: the service's own settings, and the host's addresses that its address
// box offers.
#pragma once

#include <windows.h>

#include "common/config_store.h"

// The host's IPv4 addresses as dotted text, in the order the host-name lookup gives them.
extern wchar_t (*g_localIps)[kAddressUnits];
extern int g_localIpCount;

// Fills g_localIps and g_localIpCount: 0 on success, -1 when the host name or its addresses
// cannot be had (the table is then empty).
int EnumLocalIpAddresses();

// Fills the address box with the host's addresses and selects the stored httpServerIP,
// adding it and showing the warning when the host does not have it. Always 1.
int InitHttpServerIpCombo(HWND page);

inline constexpr wchar_t kAddressNotBoundWarning[] = L"Error: IP Address not bound to any network interface!";
