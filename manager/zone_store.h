// The manager's operations on the zone tree under the Zones key.
#pragma once

#include <windows.h>

#include "service/config_store.h"

extern ZoneRecord* g_zoneTable;
extern int g_zoneCount;

void LoadZoneTable();
int LoadZoneMembers(HWND page);
int SaveCurrentZone(HWND page);
int RemoveCurrentZone(HWND page);
void DeleteZoneKey(const wchar_t* zoneName);
int DeleteKeyTree(HKEY parent, const wchar_t* subkey);
int DeleteKeyTreeRecurse(HKEY parent, wchar_t* path);
int FindListItemByText(HWND listView, const wchar_t* text, int column);
