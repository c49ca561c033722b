// What the worker reads once at start-up: the settings, the phone targets and the zones.
// Written on the worker before any other thread exists; read-only afterwards.
#pragma once

#include <windows.h>

#include <vector>

#include "common/config_store.h"

extern wchar_t g_dataFilePath[kPathUnits];
extern wchar_t httpServerIP[kAddressUnits];
extern int httpServerPort;
extern wchar_t wzMulticastTargetIP[kAddressUnits];
extern wchar_t wzMulticastUsername[kTextUnits];
extern wchar_t wzMulticastPassword[kTextUnits];
extern int iMulticastVolume;
extern wchar_t wzMulticastMessageText[kTextUnits];
extern wchar_t wzMulticastAlertSound[kTextUnits];
extern int MulticastMaxDuration;

// One phone that the service pages when it is a member of the chosen zone.
struct PhoneClient {
    char ip[16];
    wchar_t deviceName[16];
};
inline constexpr int kMaxPhoneClients = 256;
extern PhoneClient* g_phoneClients;
extern int g_phoneClientCount;

extern ZoneRecord* g_zoneTable;
extern int g_zoneCount;

// Reads every setting, creates the port slot table, resolves the phone targets and loads the
// zones. 1 when all was read; 0 when the port slot table could not be created (reading stops
// there). Ends the process when the settings key cannot be opened, after two boxes (under the
// service control manager shown with MB_SERVICE_NOTIFICATION, and an error event reported).
int ReadProgramSettings();
// The stored size of the value (0 when empty or absent), its bytes in the buffer; an absent
// value shows the absent-value box (no owner) when showBox is set.
DWORD QueryRegistryValue(HKEY key, const wchar_t* valueName, std::vector<BYTE>* buffer, bool showBox);
// Opens a key under HKEY_LOCAL_MACHINE with full access; on failure shows the key box (no
// owner) and returns nullptr, and the caller goes on without the key. The caller closes the
// key.
HKEY OpenSettingsKey(const wchar_t* subkeyPath);
void LoadZones();
void InitializePhoneClientList(const wchar_t* selectionText);
// Copies the address of the first data-file line named deviceName into ipOut; 1 when found.
int CUCMreadFileSEPtoIP(const wchar_t* deviceName, wchar_t* ipOut, size_t ipCapacity);
